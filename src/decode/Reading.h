#pragma once
// The decoder's current result: four texts in code page 936 bytes.

#include <string>

#include "common/Cp936.h"

namespace vexal {

struct Reading {
  std::string ValueText = "0000";
  std::string UnitText;
  std::string FunctionText = "IR:500V 20G" + std::string(kOhm);
  std::string ModeText;
};

}  // namespace vexal
