// Baseline for the command line's cost: a console program that does nothing.
int main() { return 0; }
