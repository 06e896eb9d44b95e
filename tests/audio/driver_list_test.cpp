#include "audio/driver_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_drivers.h"

namespace zelmora {
namespace {

using testing::DriverNames;
using testing::MemoryRegistry;
using testing::ScriptedDriver;
using testing::ScriptedFactory;

const char* kClassA = "{11111111-2222-3333-4444-555555555555}";

using Strings = std::vector<std::string>;

TEST(DriverList, WalksTheRegistry) {
    MemoryRegistry registry;
    ScriptedFactory factory;
    {  // No ASIO key: an empty list, and no object runtime.
        DriverList list(&registry, factory);
        EXPECT_EQ(list.DriverCount(), 0);
        IAsioDriver* d = nullptr;
        EXPECT_EQ(list.OpenDriver(0, &d), kDriverNoRecord);
    }
    EXPECT_EQ(factory.initialised + factory.uninitialised + registry.openKeys, 0);

    registry.AddDriver("First", kClassA, "First Driver", "first.dll");
    registry.AddDriver("Second", "{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}", "Second",
                       "C:\\missing\\second.dll");
    // Upper case on both sides, and no description: the key's own name.
    registry.AddDriver("Third", "{0F0E0D0C-0B0A-0908-0706-050403020100}", nullptr, "third.dll");
    // The class key in lower case, the driver's text in upper case.
    registry.Add(MemoryRegistry::kLocalMachine, "software\\asio\\Loud")["clsid"] =
        "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEF}";
    registry.Add(MemoryRegistry::kClassesRoot,
                 "clsid\\{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeef}\\InprocServer32")[""] = "loud.dll";
    registry.AddDriver("Long", "{11111111-2222-3333-4444-555555555556}", std::string(200, 'd').c_str(),
                       "l.dll");
    registry.AddDriver("Odd", "not-a-guid", "Odd", "odd.dll");
    // Without a clsid value, and with a class that is not registered.
    registry.Add(MemoryRegistry::kLocalMachine, "software\\asio\\Broken")["description"] = "x";
    registry.Add(MemoryRegistry::kLocalMachine, "software\\asio\\Orphan")["clsid"] =
        "{99999999-9999-9999-9999-999999999999}";
    registry.files = {"first.dll", "third.dll", "loud.dll", "l.dll", "odd.dll"};
    {
        DriverList list(&registry, factory);
        // In key order, ids dense: the missing library leaves no gap.
        ASSERT_EQ(DriverNames(list),
                  (Strings{"First Driver", std::string(127, 'd'), "Loud", "Odd", "Third"}));
        for (int32_t id = 0; id < 5; ++id) EXPECT_EQ(list.Find(id)->id, id);
        const AsioGuid third = {0x0F0E0D0C, 0x0B0A, 0x0908, {7, 6, 5, 4, 3, 2, 1, 0}}, none = {};
        EXPECT_EQ(std::memcmp(&list.Find(4)->classId, &third, sizeof third), 0);
        EXPECT_EQ(list.Find(2)->classId.data1, 0xAAAAAAAAu);
        EXPECT_EQ(std::memcmp(&list.Find(3)->classId, &none, sizeof none), 0);  // does not parse: all zero
        EXPECT_EQ(factory.initialised, 1);
    }
    EXPECT_EQ(factory.uninitialised, 1);
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(DriverList, OpenCloseAndNamesFollowTheResultCodes) {
    MemoryRegistry registry;
    registry.AddDriver("One", kClassA, "Twelve Chars", "one.dll");
    registry.files = {"one.dll"};
    ScriptedFactory factory;
    ScriptedDriver driver;
    factory.drivers = {&driver};
    {
        DriverList list(&registry, factory);
        IAsioDriver* d = nullptr;
        EXPECT_EQ(list.OpenDriver(0, nullptr), kDriverMissingPointer);
        EXPECT_EQ(list.OpenDriver(1, &d), kDriverNoRecord);
        ASSERT_EQ(list.OpenDriver(0, &d), 0);
        EXPECT_EQ(d, &driver);
        EXPECT_EQ(factory.asked.back().data1, 0x11111111u);  // created with the record's own identifier
        IAsioDriver* again = nullptr;
        EXPECT_EQ(list.OpenDriver(0, &again), kDriverAlreadyOpen);
        EXPECT_EQ(again, nullptr);
        EXPECT_EQ(driver.references, 2);
        for (int32_t id : {0, 0, 7}) EXPECT_EQ(list.CloseDriver(id), 0);  // closed or unknown: nothing
        EXPECT_EQ(driver.references, 1);

        factory.failure = static_cast<int32_t>(0x80040154u);  // passed through as it is
        EXPECT_EQ(list.OpenDriver(0, &d), factory.failure);
        EXPECT_EQ(list.Find(0)->driver, nullptr);
        factory.failure = 0;
        ASSERT_EQ(list.OpenDriver(0, &d), 0);

        // {buffer size, text}: exactly `size` bytes written, a name that does not fit ends in dots.
        const std::pair<int32_t, const char*> shortened[] = {
            {13, "Twelve Chars"}, {12, "Twelve C..."}, {8, "Twel..."}, {3, ".."}, {0, ""}};
        for (const auto& [size, text] : shortened) {
            char buffer[16];
            std::memset(buffer, 'x', sizeof buffer);
            ASSERT_EQ(list.DriverName(0, buffer, size), 0);
            EXPECT_EQ(std::string(buffer, std::size_t(size)), size ? std::string(text) + '\0' : "") << size;
            EXPECT_EQ(buffer[size], 'x') << size;
        }
        char buffer[8];
        EXPECT_EQ(list.DriverName(0, nullptr, 8), kDriverMissingPointer);
        EXPECT_EQ(list.DriverName(5, buffer, 8), kDriverNoRecord);
    }
    EXPECT_EQ(driver.references, 1);  // the list releases the driver left open
}

// Windows without ASIO still plays: the other outputs and the recorder come
// after the registry's drivers, under identifiers that name their place in
// the substitute list, and the object runtime is started for them too.
TEST(DriverList, SubstitutesFollowTheRegistryWhereTheFactoryAsks) {
    ResetSubstituteDrivers();
    AddSubstituteDriver(
        "WASAPI: Speakers", [](int32_t) -> IAsioDriver* { return nullptr; }, 0);
    MemoryRegistry registry;
    ScriptedFactory factory;
    factory.substitutesFollow = true;
    {
        DriverList list(&registry, factory);
        ASSERT_EQ(DriverNames(list), (Strings{"WASAPI: Speakers", "WAV Recorder"}));
        EXPECT_TRUE(IsSubstituteClassId(list.Find(1)->classId));
        EXPECT_EQ(list.Find(1)->classId.data1, 1u);
    }
    EXPECT_EQ(factory.initialised, 1);
    registry.AddDriver("First", kClassA, "First Driver", "first.dll");
    registry.files = {"first.dll"};
    {
        DriverList list(&registry, factory);
        ASSERT_EQ(DriverNames(list), (Strings{"First Driver", "WASAPI: Speakers", "WAV Recorder"}));
        EXPECT_FALSE(IsSubstituteClassId(list.Find(0)->classId));
    }
#ifndef _WIN32
    // Without a registry the substitutes are the list; one that cannot be
    // made reports a failure, not an empty success.
    {
        DriverList posix;
        ASSERT_EQ(DriverNames(posix), (Strings{"WASAPI: Speakers", "WAV Recorder"}));
        IAsioDriver* d = nullptr;
        EXPECT_NE(posix.OpenDriver(0, &d), 0);
        ASSERT_EQ(posix.OpenDriver(1, &d), 0);
        ASSERT_NE(d, nullptr);
    }
    ResetSubstituteDrivers();
    EXPECT_EQ(DriverNames(DriverList()), Strings{"WAV Recorder"});
#endif
    ResetSubstituteDrivers();
}

}  // namespace
}  // namespace zelmora
