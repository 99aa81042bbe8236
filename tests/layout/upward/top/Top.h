#pragma once
#include "Low.h"
#include "Mid.h"
