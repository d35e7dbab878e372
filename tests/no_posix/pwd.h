// Stands in for a header that only POSIX systems have (see tests/CMakeLists.txt).
#error "POSIX-only header: include it only under Q_OS_UNIX"
