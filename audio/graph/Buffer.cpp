#include "audio/graph/Buffer.h"
