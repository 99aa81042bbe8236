#pragma once
#include "Low.h"
