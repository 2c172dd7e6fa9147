// Builders of parameter values.
#include "core/values/ParamRecords.h"

CParamValue MakeBoolParamValue(std::int32_t id, bool value) {
  CParamValue v;
  v.id = id;
  v.kind = ParamKind::kBool;
  v.flag = value ? 1 : 0;
  return v;
}

CParamValue MakeTextParamValue(std::int32_t id, const std::string& text) {
  CParamValue v;
  v.id = id;
  v.kind = ParamKind::kText;
  v.text = text;
  return v;
}

CParamValue MakeIntParamValue(std::int32_t id, std::int32_t value) {
  CParamValue v;
  v.id = id;
  v.kind = ParamKind::kInteger;
  v.integer = value;
  v.value = 0.0f;
  return v;
}

CParamValue MakeNoParamValue() { return CParamValue{}; }
