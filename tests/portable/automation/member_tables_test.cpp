#include "automation/member_tables.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

// Names, kinds and DISPIDs are compared with the type library by the COM
// object tests; the field columns are checked when member_tables.h compiles.

TEST(MemberTables, OnlyComputedRowsHaveAFunction) {
  for (std::span<const MemberRow> table : {kKontrollMembers, kKontroll2Members, kBilMembers,
                                           kBil2Members, kKundeMembers, kVelkarMembers}) {
    for (const MemberRow& row : table) {
      EXPECT_EQ(row.source == Source::Computed, row.compute != nullptr) << row.name;
    }
  }
}

TEST(MemberTables, LookUpByDispid) {
  static_assert(DispidOf(kBil2Members, "Godkjdato") == 4);
  static_assert(DispidOf(kBil2Members, "Godkjentdato") == 23);
  static_assert(DispidOf(kBilMembers, "Godkjentdato") == 4);
  static_assert(DispidOf(kKontroll2Members, "StartKontroll") == 5);
  ASSERT_NE(FindMember(kBilMembers, 4), nullptr);
  EXPECT_EQ(FindMember(kBilMembers, 4)->source, Source::DateTimeAfter1900);
  EXPECT_EQ(FindMember(kBil2Members, 4)->source, Source::DateTime);
  EXPECT_EQ(FindMember(kKontrollMembers, 14), nullptr);
  EXPECT_EQ(FindMember(kKontroll2Members, 23), nullptr);
}

}  // namespace
}  // namespace tindrel
