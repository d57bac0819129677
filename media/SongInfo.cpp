#include "media/SongInfo.h"
