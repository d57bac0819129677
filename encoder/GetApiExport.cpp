// The one symbol libBrannoc.so exports.
#include "encoder/EncoderApi.h"

extern "C" __attribute__((visibility("default"))) const EncoderApi* GetAPI() { return brannoc::ApiTable(); }
