// Before any window of this test program exists: under Wine its windows
// stay unmanaged, so destroying an activated one does not wait two seconds
// for a window manager the test display does not run.
#include "common/WineWindowOptions.h"

namespace {
const bool kUnmanaged = testsupport::LeaveWindowsUnmanagedUnderWine(testsupport::OwnExecutableName());
} // namespace
