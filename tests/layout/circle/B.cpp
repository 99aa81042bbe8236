#include "B.h"
#include "A.h"
