// Kept apart: the kernel's termios2 header clashes with the C library's <termios.h>.
#include "SimLine.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tessel::sim {

int32_t LineBaud(int slaveFd) {
    struct termios2 t {};
    if (ioctl(slaveFd, TCGETS2, &t) != 0)
        return 0;
    return int32_t(t.c_ospeed);
}

} // namespace tessel::sim
