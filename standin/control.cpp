// Sets fields of the stand-in box from a script:
//   StandInControl.exe onBus=0 forcedStatus=2 forceStatus=1 ...
//   StandInControl.exe reset
// The box lives while some process holds it open (the library, the panel).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "channel.h"

namespace {

struct Field {
    const char* name;
    volatile LONG standin::Channel::*member;
};

constexpr Field FIELDS[] = {
    {"onBus", &standin::Channel::onBus},
    {"passedThrough", &standin::Channel::passedThrough},
    {"direction", &standin::Channel::direction},
    {"output", &standin::Channel::output},
    {"forceStatus", &standin::Channel::forceStatus},
    {"forcedStatus", &standin::Channel::forcedStatus},
    {"delayMs", &standin::Channel::delayMs},
    {"pumpMs", &standin::Channel::pumpMs},
    {"failMask", &standin::Channel::failMask},
    {"failStatus", &standin::Channel::failStatus},
    {"hideMask", &standin::Channel::hideMask},
    {"switchOnCommand", &standin::Channel::switchOnCommand},
};

}  // namespace

int main(int argc, char** argv) {
    HANDLE mapping = nullptr;
    standin::Channel* channel = standin::openChannel(&mapping);
    if (!channel) {
        std::fprintf(stderr, "StandInControl: no channel\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "reset") == 0) {
            standin::resetBox(channel);
            continue;
        }
        const char* equals = std::strchr(argv[i], '=');
        bool known = false;
        for (const Field& field : FIELDS) {
            if (equals && std::strncmp(argv[i], field.name, static_cast<size_t>(equals - argv[i])) == 0 &&
                std::strlen(field.name) == static_cast<size_t>(equals - argv[i])) {
                InterlockedExchange(&(channel->*field.member), std::strtol(equals + 1, nullptr, 0));
                known = true;
            }
        }
        if (!known) {
            std::fprintf(stderr, "StandInControl: unknown setting %s\n", argv[i]);
            status = 1;
        }
    }
    standin::closeChannel(channel, mapping);
    return status;
}
