#pragma once
// Automation values at the COM edge: the COM type of each automation type
// and the conversions between it and the value the behaviour objects use
// (automation/conversions.h). Windows only.
//
//   AutoType   COM type       behaviour value
//   String     BSTR           std::string, UTF-8
//   Int32      long           int32_t
//   Int16      short          int16_t
//   Bool       VARIANT_BOOL   int16_t, 1 or 0 (delivered as it is: 1, not -1)
//   Date       DATE           double, days since 1899-12-30

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <variant>

#include "automation/conversions.h"
#include "base/text.h"
#include "winapi/strings.h"

namespace tindrel {

template <AutoType T>
struct AutoTraits;

template <>
struct AutoTraits<AutoType::String> {
  using Com = BSTR;
  using Value = std::string;
};
template <>
struct AutoTraits<AutoType::Int32> {
  using Com = LONG;
  using Value = int32_t;
};
template <>
struct AutoTraits<AutoType::Int16> {
  using Com = SHORT;
  using Value = int16_t;
};
template <>
struct AutoTraits<AutoType::Bool> {
  using Com = VARIANT_BOOL;
  using Value = int16_t;
};
template <>
struct AutoTraits<AutoType::Date> {
  using Com = DATE;
  using Value = double;
};

template <AutoType T>
using ComType = typename AutoTraits<T>::Com;
template <AutoType T>
using ValueType = typename AutoTraits<T>::Value;

// An [in] argument as the behaviour takes it. A null BSTR is the empty
// string; any non-zero VARIANT_BOOL (clients write -1 or 1) is true, 1.
template <AutoType T>
ValueType<T> FromCom(ComType<T> value) {
  if constexpr (T == AutoType::String) {
    return Utf16ToUtf8(win::View(value));
  } else if constexpr (T == AutoType::Bool) {
    return static_cast<int16_t>(value != 0 ? 1 : 0);
  } else {
    return static_cast<ValueType<T>>(value);
  }
}

// A value for an [out, retval] argument; the caller owns a returned BSTR
// (always a valid one, empty for the empty string, never NULL). Throws
// std::bad_variant_access when the behaviour answered with another type:
// a programming error that the member reports as its failure.
template <AutoType T>
ComType<T> ToCom(const AutoValue& value) {
  const ValueType<T>& v = std::get<ValueType<T>>(value);
  if constexpr (T == AutoType::String) {
    return win::AllocBstr(Utf8ToUtf16(v));
  } else {
    return static_cast<ComType<T>>(v);
  }
}

}  // namespace tindrel
