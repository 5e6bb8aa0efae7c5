// The busy animation's frame strips, drawn by make-icons: one PNG per style, colour and
// size, frames laid left to right, named busy_<style>_<colour>_<size>.png.
#pragma once

#include <string>

namespace Folio::Tools {

// Writes every strip into dir; false when a file cannot be written.
bool WriteBusyStrips(const std::string& dir);

} // namespace Folio::Tools
