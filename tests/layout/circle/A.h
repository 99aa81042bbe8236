#pragma once
#include "B.h"
