// The record of the last identified target.
#include "current_target.h"

TargetRecord CurrentTarget = {0, std::wstring()};
