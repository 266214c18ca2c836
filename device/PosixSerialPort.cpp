#include "device/PosixSerialPort.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Unix98 pseudo-terminal slaves (the simulator's end) have majors 136 to 143.
bool IsPseudoTerminal(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

// A pseudo-terminal has no parity generator: the kernel drops PARENB, and glibc reports that
// as a failure although everything else took effect.
bool OnlyParityDropped(int fd, const termios& wanted) {
    termios now;
    if (!IsPseudoTerminal(fd) || tcgetattr(fd, &now) != 0)
        return false;
    const tcflag_t ignore = PARENB | PARODD;
    return (now.c_cflag & ~ignore) == (wanted.c_cflag & ~ignore) && now.c_iflag == wanted.c_iflag &&
           cfgetospeed(&now) == cfgetospeed(&wanted);
}

using Clock = std::chrono::steady_clock;

// How long a write may wait for room in the output queue before it reports a time-out.
constexpr std::chrono::milliseconds WriteWait{500};

bool SpeedForBaudCode(int32_t code, speed_t& speed) {
    switch (code) {
    case BaudCode::Rate1200:
        speed = B1200;
        return true;
    case BaudCode::Rate2400:
        speed = B2400;
        return true;
    case BaudCode::Rate9600:
        speed = B9600;
        return true;
    case BaudCode::Rate19200:
        speed = B19200;
        return true;
    case BaudCode::Rate38400:
        speed = B38400;
        return true;
    case BaudCode::Rate57600:
        speed = B57600;
        return true;
    case BaudCode::Rate115200:
        speed = B115200;
        return true;
    default:
        return false;
    }
}

// Errors after which the device is gone (unplugged adapter, simulator ended).
bool IsDeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

int RemainingMilliseconds(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

std::string DefaultPortDevice(int32_t port) {
    if (port < 1)
        return {};
    return "/dev/ttyS" + std::to_string(port - 1);
}

PosixSerialPort::PosixSerialPort(PortDeviceResolver resolver, std::chrono::milliseconds readWait)
    : resolver(std::move(resolver)), readWait(readWait) {}

PosixSerialPort::~PosixSerialPort() {
    while (!openDevices.empty())
        ClosePort(openDevices.begin()->first);
}

int PosixSerialPort::FdOf(int32_t port) const {
    const auto it = openDevices.find(port);
    return it == openDevices.end() ? -1 : it->second.fd;
}

std::string SerialOpenFailureText(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        return "no such device";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EBUSY:
    case EWOULDBLOCK:
        return "in use by another program";
    default:
        return std::strerror(error);
    }
}

int32_t PosixSerialPort::OpenPort(int32_t port) {
    lastOpenFailure.clear();
    if (FdOf(port) >= 0) {
        lastOpenFailure = "already open";
        return PortResult::InUse;
    }
    const std::string path = resolver ? resolver(port) : DefaultPortDevice(port);
    if (path.empty()) {
        lastOpenFailure = "no device for port " + std::to_string(port);
        return PortResult::NoSuchPort;
    }
    // O_NOCTTY: a serial line must never become the controlling terminal of the program, or a
    // hang-up on it would send SIGHUP. O_NONBLOCK: an open must not wait for carrier detect,
    // and the reads below wait with poll() instead.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastOpenFailure = SerialOpenFailureText(errno);
        switch (errno) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOTDIR:
            return PortResult::NoSuchPort;
        case EBUSY:
            return PortResult::InUse;
        default:
            return PortResult::SystemFailure;
        }
    }
    auto fail = [this, fd](int32_t result, std::string why) {
        lastOpenFailure = std::move(why);
        close(fd);
        return result;
    };
    if (!isatty(fd))
        return fail(PortResult::NoSuchPort, "not a serial device");
    // TIOCEXCL keeps other programs from opening the line while we use it, but root may pass
    // it; the advisory lock also stops a second copy of this program run as root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? PortResult::InUse : PortResult::SystemFailure,
                    SerialOpenFailureText(errno));
    if (ioctl(fd, TIOCEXCL) != 0)
        return fail(PortResult::SystemFailure, SerialOpenFailureText(errno));
    OpenDevice device;
    device.fd = fd;
    if (tcgetattr(fd, &device.original) != 0) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        return fail(PortResult::SystemFailure, SerialOpenFailureText(error));
    }
    termios raw = device.original;
    cfmakeraw(&raw);
    // Whatever an earlier user of the device left behind goes: flow control by RTS/CTS or
    // XON/XOFF would hold every frame on a three-wire line, and any translation of input or
    // output bytes (CR/LF, case, parity marks) would corrupt binary frames.
    raw.c_iflag = 0;
    raw.c_oflag = 0;
    raw.c_lflag = 0;
    raw.c_cflag &= ~(CRTSCTS | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
    raw.c_cflag |= CS8 | CLOCAL | CREAD;
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        return fail(PortResult::SystemFailure, SerialOpenFailureText(error));
    }
    tcflush(fd, TCIOFLUSH);
    openDevices[port] = device;
    return PortResult::Ok;
}

int32_t PosixSerialPort::SetTiming(int32_t port, int32_t, int32_t) {
    // The waits are this layer's own (readWait, WriteWait); the link's values are not needed.
    return FdOf(port) >= 0 ? PortResult::Ok : PortResult::NotOpened;
}

int32_t PosixSerialPort::SetLineParameters(int32_t port, int32_t baudCode, int32_t lineControl) {
    const int fd = FdOf(port);
    if (fd < 0)
        return PortResult::NotOpened;
    speed_t speed;
    if (!SpeedForBaudCode(baudCode, speed) || (lineControl & ~0x1F) != 0)
        return PortResult::BadParameter;
    termios tio;
    if (tcgetattr(fd, &tio) != 0)
        return PortResult::SystemFailure;
    static const tcflag_t dataBits[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD);
    tio.c_cflag |= dataBits[lineControl & 0x03];
    if (lineControl & 0x04)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~INPCK;
    if (lineControl & 0x08) {
        tio.c_cflag |= PARENB;
        if (!(lineControl & 0x10))
            tio.c_cflag |= PARODD;
        tio.c_iflag |= INPCK;
    }
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return PortResult::BadParameter;
    if (tcsetattr(fd, TCSANOW, &tio) != 0 && !OnlyParityDropped(fd, tio))
        return PortResult::SystemFailure;
    return PortResult::Ok;
}

int32_t PosixSerialPort::ClosePort(int32_t port) {
    const auto it = openDevices.find(port);
    if (it == openDevices.end())
        return PortResult::NotOpened;
    const OpenDevice device = it->second;
    openDevices.erase(it);
    // The exclusive flag belongs to the terminal, not to our descriptor: it would outlive the
    // close while someone else (the simulator) keeps the terminal open, and a reopen would fail.
    ioctl(device.fd, TIOCNXCL);
    tcsetattr(device.fd, TCSANOW, &device.original);
    close(device.fd);
    return PortResult::Ok;
}

int32_t PosixSerialPort::Write(int32_t port, const uint8_t* bytes, int32_t count) {
    const int fd = FdOf(port);
    if (fd < 0)
        return PortResult::NotOpened;
    if (count <= 0)
        return 0;
    // Every frame we send is a request; whatever is still waiting to be read is the tail of an
    // earlier reply that came too late and would be taken for the answer to this request.
    tcflush(fd, TCIFLUSH);
    const auto deadline = Clock::now() + WriteWait;
    int32_t written = 0;
    while (written < count) {
        const ssize_t n = write(fd, bytes + written, static_cast<size_t>(count - written));
        if (n > 0) {
            written += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            if (written > 0)
                return written;
            return IsDeviceGone(errno) ? PortResult::NotOpened : PortResult::LineError;
        }
        const int wait = RemainingMilliseconds(deadline);
        pollfd p{fd, POLLOUT, 0};
        if (wait == 0 || poll(&p, 1, wait) == 0)
            return written > 0 ? written : PortResult::Timeout;
    }
    return written;
}

int32_t PosixSerialPort::Read(int32_t port, uint8_t* buffer, int32_t count) {
    const int fd = FdOf(port);
    if (fd < 0)
        return PortResult::NotOpened;
    if (count <= 0)
        return 0;
    // The whole read is bounded with poll(): VMIN/VTIME time the gaps between bytes rather
    // than the read, and a pseudo-terminal's master side ignores them altogether.
    const auto deadline = Clock::now() + readWait;
    int32_t got = 0;
    bool hungUp = false; // the last poll() reported a hang-up or an error
    while (got < count) {
        const ssize_t n = read(fd, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A terminal in raw mode with VMIN = VTIME = 0 reads 0 bytes when nothing is there.
        if (n < 0 && errno != EAGAIN) {
            if (got > 0)
                return got;
            return IsDeviceGone(errno) ? PortResult::NotOpened : PortResult::LineError;
        }
        // A hung-up terminal (an unplugged adapter) reports POLLIN|POLLHUP and then reads
        // nothing, at once and for ever: waiting on would only spin.
        if (hungUp)
            return got > 0 ? got : PortResult::NotOpened;
        const int wait = RemainingMilliseconds(deadline);
        if (wait == 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, wait);
        if (ready == 0)
            break;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The other end hung up (simulator ended) or the device went away; what is still
            // buffered is read first.
            if (!(p.revents & POLLIN))
                return got > 0 ? got : PortResult::NotOpened;
            hungUp = true;
        }
    }
    return got;
}
