#include "support/FamilyCases.h"

#include <stdexcept>

#include "families/KnownPrinters.h"
#include "support/Sanitizers.h"

namespace testing_support {

const Families::Info& FamilyOfLanguage(const std::string& language) {
    if (const Families::Info* family = Families::FindLanguage(language))
        return *family;
    throw std::invalid_argument("no family has the language " + language);
}

const Families::Info& FamilyOfDriver(const std::string& driver) {
    if (const DriverTable::Driver* row = DriverTable::Find(driver.c_str()))
        if (const Families::Info* family = Families::Find(row->modelNumber))
            return *family;
    throw std::invalid_argument("no family has the driver " + driver);
}

const DriverTable::Driver* DriverOfPpd(const std::string& ppd) {
    for (const DriverTable::Driver* row : AllDrivers())
        if (ppd == row->ppd)
            return row;
    size_t count = 0;
    const KnownPrinters::Printer* printers = KnownPrinters::All(count);
    for (size_t i = 0; i < count; i++)
        if (printers[i].ppd && ppd == printers[i].ppd)
            return DriverTable::Find(printers[i].driver);
    return nullptr;
}

const Families::Info& FamilyOfPpd(const std::string& ppd) {
    if (const DriverTable::Driver* row = DriverOfPpd(ppd))
        if (const Families::Info* family = Families::Find(row->modelNumber))
            return *family;
    throw std::invalid_argument("no family has the PPD " + ppd);
}

std::vector<const DriverTable::Driver*> AllDrivers() {
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    std::vector<const DriverTable::Driver*> rows;
    for (size_t i = 0; i < count; i++)
        rows.push_back(&drivers[i]);
    return rows;
}

std::vector<const DriverTable::Driver*> CheckedDrivers() {
    std::vector<const DriverTable::Driver*> rows;
    std::set<int> families;
    for (const DriverTable::Driver* row : AllDrivers())
        if (families.insert(row->modelNumber).second || !kSanitized)
            rows.push_back(row);
    if (kThreadSanitized)
        rows.resize(1);
    return rows;
}

}  // namespace testing_support
