// The hardware decoding devices of this system, made once per process and shared by every
// video decoder.
#pragma once

struct AVBufferRef;

namespace vell::hardwareDevices {

// A new reference to the device of this type (an AVHWDeviceType), made on first use (which
// takes tens of milliseconds on a GPU, and most of a second under an emulation layer); null
// when it cannot be made or has shown it cannot decode. Thread-safe.
AVBufferRef* acquire(int type);

// A decoder given this device got pictures in main memory all the same: the system cannot
// decode on it, and later decoders are not offered it again.
void markUnusable(int type);

}  // namespace vell::hardwareDevices
