#pragma once
// Turns one scrambled update text into its S-record image.

#include <string>

// Unscrambles the text file into the image file; false (and no image is
// written) when the text cannot be read or the image cannot be written.
bool ConvertUpdateText(const std::string& textPath, const std::string& imagePath);
