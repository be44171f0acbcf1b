// Resource ids shared by varnosklen.rc and the program's code.
#pragma once

#define IDI_MAIN 1
