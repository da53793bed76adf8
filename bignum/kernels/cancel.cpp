#include "kernels/cancel.h"

namespace karvo::kernel {

thread_local const int *cancel_flag = nullptr;

} // namespace karvo::kernel
