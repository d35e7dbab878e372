#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>

// Preloaded into the serial terminal of the side-by-side run: a
// pseudo-terminal refuses the modem-control calls (read the lines, raise or
// drop DTR and RTS) that a USB bridge answers, and the terminal gives up the
// port when they fail. Where the real call says the device has no such
// lines, this answers as a bridge would, keeping the lines' state here.
// Nothing else is touched.
namespace {
int lines = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR;
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    const int result = real(fd, request, arg);
    if (result != -1 || errno != ENOTTY || !arg)
        return result;
    int *bits = static_cast<int *>(arg);
    switch (request) {
    case TIOCMGET: *bits = lines; return 0;
    case TIOCMBIS: lines |= *bits; return 0;
    case TIOCMBIC: lines &= ~*bits; return 0;
    case TIOCMSET: lines = *bits; return 0;
    default: return result;
    }
}
