#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "families/DriverTable.h"
#include "families/Families.h"

namespace testing_support {

// The driver of a PPD file name: the driver's own PPD or a known printer's
// (families/KnownPrinters), which is its driver's under the printer's name.
// Null for a name of neither.
const DriverTable::Driver* DriverOfPpd(const std::string& ppd);

// The family a test case names, by its preview language, driver or PPD file
// name. An unknown name throws, which fails the test that asked.
const Families::Info& FamilyOfLanguage(const std::string& language);
const Families::Info& FamilyOfDriver(const std::string& driver);
const Families::Info& FamilyOfPpd(const std::string& ppd);

// Every row of the driver table, for cases made from it.
std::vector<const DriverTable::Driver*> AllDrivers();

// The rows a slow check of every driver takes in this build: all of them in
// the normal build; under AddressSanitizer, each family's first, since a
// family's rows differ only in the table's values, which the normal build
// checks; under ThreadSanitizer the first alone, since no family has threads
// of its own.
std::vector<const DriverTable::Driver*> CheckedDrivers();

// For a table of cases with expectations of each family's own: succeeds
// when some case names each family of Families::All(), so that a new family
// fails the test until its cases are written. `familyOf(case)` gives the
// case's family, or null for a case of none (a stream no language claims).
template <class Cases, class FamilyOf>
::testing::AssertionResult CoversEveryFamily(const Cases& cases, FamilyOf familyOf) {
    std::set<int> covered;
    for (const auto& c : cases)
        if (const Families::Info* family = familyOf(c))
            covered.insert(family->modelNumber);
    std::string missing;
    for (const Families::Info& family : Families::All())
        if (!covered.count(family.modelNumber))
            missing += std::string(missing.empty() ? "" : ", ") + family.language;
    if (missing.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no case for the family of " << missing;
}

}  // namespace testing_support
