#include "audio/Buffer.h"
