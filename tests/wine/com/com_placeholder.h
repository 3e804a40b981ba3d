#pragma once
// Placeholder behaviour: a class with the behaviour objects' shape (Get by
// DISPID, Set<Name> per writable property, one function per method) made
// from a member list of com_members.h. Every get answers the empty value of
// its type, every put and every method succeeds and changes nothing. A COM
// class uses one until the real behaviour object of its coclass takes its
// place. Windows only (the value types come from com_convert.h).

#include <stdexcept>

#include "com/convert.h"
#include "automation/com_members.h"
#include "automation/conversions.h"

#define TINDREL_PLACEHOLDER_CASE(Name, Dispid, Type) \
  case Dispid:                                      \
    return ::tindrel::EmptyValue(::tindrel::AutoType::Type);
#define TINDREL_PLACEHOLDER_METHOD(Name) \
  void Name() {}
#define TINDREL_PLACEHOLDER_METHOD1(Name, Type) \
  void Name(::tindrel::com::ValueType<::tindrel::AutoType::Type>) {}
#define TINDREL_PLACEHOLDER_SETTER(Name, Dispid, Type) \
  void Set##Name(::tindrel::com::ValueType<::tindrel::AutoType::Type>) {}

// Defines class `ClassName` from member list `LIST`. A DISPID that repeats in
// the list fails to compile (duplicate case).
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
