#pragma once

// The real file system of the platform the tests run on.
#ifdef _WIN32
#include "WindowsFileSystem.h"
namespace z83::test {
using NativeFileSystem = WindowsFileSystem;
}
#else
#include "PosixFileSystem.h"
namespace z83::test {
using NativeFileSystem = PosixFileSystem;
}
#endif
