#pragma once
#include "Mid.h"
#include "Low.h"
