#include "imageio/ExifData.h"

bool ExifData::operator==(const ExifData &other) const = default;
