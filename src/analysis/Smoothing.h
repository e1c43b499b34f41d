#pragma once

// The smoothing lives in base: the live fraction detector of the recording
// applies the same filter while a run records.
#include "base/Smoothing.h"
