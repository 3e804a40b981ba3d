#pragma once
// Test-only: a behaviour class with nothing behind it, made from a member
// list of automation/member_tables.h. It has the shape the COM classes
// forward to (Get by DISPID, Set<Name> per writable property, one function
// per method); every get answers the empty value of its type, every put and
// every method succeeds and changes nothing. The COM object tests derive
// from one to script failures and events behind a real AutomationObject.
// Windows only (the value types come from automation/win/com_values.h).

#include <stdexcept>

#include "automation/conversions.h"
#include "automation/member_tables.h"
#include "automation/win/com_values.h"

#define TINDREL_PLACEHOLDER_CASE(Name, Dispid, Type, ...) \
  case Dispid:                                           \
    return ::tindrel::EmptyValue(::tindrel::AutoType::Type);
#define TINDREL_PLACEHOLDER_METHOD(Name, Dispid) \
  void Name() {}
#define TINDREL_PLACEHOLDER_METHOD1(Name, Dispid, Type) \
  void Name(::tindrel::ValueType<::tindrel::AutoType::Type>) {}
#define TINDREL_PLACEHOLDER_SETTER(Name, Dispid, Type, ...) \
  void Set##Name(::tindrel::ValueType<::tindrel::AutoType::Type>) {}

// Defines class `ClassName` from member list `LIST`.
#define TINDREL_PLACEHOLDER_BEHAVIOUR(ClassName, LIST)                                     \
  class ClassName {                                                                        \
   public:                                                                                 \
    ::tindrel::AutoValue Get(int dispid) const {                                           \
      switch (dispid) {                                                                    \
        LIST(TINDREL_MEMBER_SKIP, TINDREL_MEMBER_SKIP, TINDREL_PLACEHOLDER_CASE,           \
             TINDREL_PLACEHOLDER_CASE)                                                     \
        default:                                                                           \
          break;                                                                           \
      }                                                                                    \
      throw std::logic_error("no property with this DISPID");                              \
    }                                                                                      \
    LIST(TINDREL_PLACEHOLDER_METHOD, TINDREL_PLACEHOLDER_METHOD1, TINDREL_MEMBER_SKIP,     \
         TINDREL_PLACEHOLDER_SETTER)                                                       \
  }
