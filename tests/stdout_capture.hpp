// Standard-output capture lives in test_util.hpp with the other helpers.
#pragma once
#include "test_util.hpp"
