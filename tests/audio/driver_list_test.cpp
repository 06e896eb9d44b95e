#include "audio/driver_list.h"

#include <gtest/gtest.h>

#include <string>

#include "audio/asio_host.h"
#include "fake_drivers.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

using testing::MemoryRegistry;
using testing::ScriptedDriver;
using testing::ScriptedFactory;

const char* kClassA = "{11111111-2222-3333-4444-555555555555}";
const char* kClassB = "{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}";
const char* kClassC = "{0F0E0D0C-0B0A-0908-0706-050403020100}";

std::string Name(const DriverList& list, int32_t id, int32_t size = 256) {
    char buffer[256] = {};
    EXPECT_EQ(list.DriverName(id, buffer, size), 0);
    return buffer;
}

TEST(DriverList, NoAsioKeyGivesAnEmptyListWithoutObjectRuntime) {
    MemoryRegistry registry;
    ScriptedFactory factory;
    {
        DriverList list(&registry, factory);
        EXPECT_EQ(list.DriverCount(), 0);
        EXPECT_EQ(list.first, nullptr);
        IAsioDriver* d = nullptr;
        EXPECT_EQ(list.OpenDriver(0, &d), kDriverNoRecord);
    }
    EXPECT_EQ(factory.initialised, 0);
    EXPECT_EQ(factory.uninitialised, 0);
    EXPECT_EQ(registry.openKeys, 0);

    auto app = MakeTestApp();
    app->driverList.Rebuild(&registry, factory);
    StartAudio(*app, nullptr);
    EXPECT_STREQ(app->asioHost.statusText, "Error: asioOpenDriver() Failed");
}

TEST(DriverList, WalksTheRegistryInOrder) {
    MemoryRegistry registry;
    registry.AddDriver("First", kClassA, "First Driver", "first.dll");
    registry.AddDriver("Second", kClassB, "Second Driver", "C:\\missing\\second.dll");
    // Upper case on both sides, and no description: the key's own name.
    registry.AddDriver("Third", kClassC, nullptr, "third.dll");
    // The class key in lower case, the driver's text in upper case.
    registry.Add(MemoryRegistry::kLocalMachine, "SOFTWARE\\ASIO\\Loud")->values["CLSID"] =
        "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEF}";
    registry.Add(MemoryRegistry::kClassesRoot, "CLSID\\{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeef}\\InprocServer32")
        ->values[""] = "loud.dll";
    registry.AddDriver("Long", "{11111111-2222-3333-4444-555555555556}", std::string(200, 'd').c_str(), "l.dll");
    registry.AddDriver("Odd", "not-a-guid", "Odd", "odd.dll");
    // Without a clsid value, and with a class that is not registered.
    registry.Add(MemoryRegistry::kLocalMachine, "SOFTWARE\\ASIO\\Broken")->values["Description"] = "x";
    registry.Add(MemoryRegistry::kLocalMachine, "SOFTWARE\\ASIO\\Orphan")->values["CLSID"] =
        "{99999999-9999-9999-9999-999999999999}";
    registry.files = {"first.dll", "third.dll", "loud.dll", "l.dll", "odd.dll"};
    ScriptedFactory factory;
    {
        DriverList list(&registry, factory);
        ASSERT_EQ(list.DriverCount(), 5);
        EXPECT_EQ(Name(list, 0), "First Driver");
        EXPECT_EQ(Name(list, 1), "Third");  // ids dense: the missing library leaves no gap
        EXPECT_EQ(Name(list, 2), "Loud");
        EXPECT_EQ(Name(list, 3), std::string(127, 'd'));
        EXPECT_EQ(Name(list, 4), "Odd");
        EXPECT_EQ(list.Find(4)->id, 4);
        const AsioGuid& g = list.Find(1)->classId;
        EXPECT_EQ(g.data1, 0x0F0E0D0Cu);
        EXPECT_EQ(g.data2, 0x0B0Au);
        EXPECT_EQ(g.data3, 0x0908u);
        EXPECT_EQ(g.data4[0], 0x07);
        EXPECT_EQ(g.data4[7], 0x00);
        EXPECT_EQ(list.Find(2)->classId.data1, 0xAAAAAAAAu);
        // An identifier that does not parse stays all zero.
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&list.Find(4)->classId);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << i;
        EXPECT_EQ(factory.initialised, 1);
    }
    EXPECT_EQ(factory.uninitialised, 1);
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(DriverList, OpenAndCloseFollowTheResultCodes) {
    MemoryRegistry registry;
    registry.AddDriver("One", kClassA, "One", "one.dll");
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
        EXPECT_EQ(list.Find(0)->driver, &driver);
        // Created with the record's own identifier.
        EXPECT_EQ(factory.asked.back().data1, 0x11111111u);
        IAsioDriver* again = nullptr;
        EXPECT_EQ(list.OpenDriver(0, &again), kDriverAlreadyOpen);
        EXPECT_EQ(again, nullptr);
        EXPECT_EQ(driver.references, 2);

        EXPECT_EQ(list.CloseDriver(0), 0);
        EXPECT_EQ(driver.references, 1);
        EXPECT_EQ(list.CloseDriver(0), 0);  // closed already: nothing
        EXPECT_EQ(list.CloseDriver(7), 0);
        EXPECT_EQ(driver.references, 1);

        factory.failure = static_cast<int32_t>(0x80040154u);  // class not registered
        EXPECT_EQ(list.OpenDriver(0, &d), static_cast<int32_t>(0x80040154u));
        EXPECT_EQ(list.Find(0)->driver, nullptr);
        factory.failure = 0;
        ASSERT_EQ(list.OpenDriver(0, &d), 0);
    }
    // Destroying the list releases the driver left open.
    EXPECT_EQ(driver.references, 1);
}

TEST(DriverList, NamesAreShortenedToTheBuffer) {
    MemoryRegistry registry;
    registry.AddDriver("D", kClassA, "Twelve Chars", "d.dll");
    registry.files = {"d.dll"};
    ScriptedFactory factory;
    DriverList list(&registry, factory);

    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(list.DriverName(0, buffer, 8), 0);
    EXPECT_STREQ(buffer, "Twel...");
    EXPECT_EQ(buffer[8], 'x');  // exactly size characters written

    EXPECT_EQ(Name(list, 0, 13), "Twelve Chars");  // length < size: whole
    EXPECT_EQ(Name(list, 0, 12), "Twelve C...");   // length == size: shortened
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(list.DriverName(0, buffer, 3), 0);
    EXPECT_STREQ(buffer, "..");
    EXPECT_EQ(buffer[3], 'x');
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(list.DriverName(0, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');

    EXPECT_EQ(list.DriverName(0, nullptr, 8), kDriverMissingPointer);
    EXPECT_EQ(list.DriverName(5, buffer, 8), kDriverNoRecord);
}

#ifndef _WIN32
TEST(DriverList, SubstituteDriversFormTheListWhereThereIsNoRegistry) {
    ResetSubstituteDrivers();
    AddSubstituteDriver("Speaker A", [](int32_t) -> IAsioDriver* { return nullptr; }, 0);
    AddSubstituteDriver("Speaker B", [](int32_t) -> IAsioDriver* { return nullptr; }, 1);
    {
        DriverList list;
        ASSERT_EQ(list.DriverCount(), 3);
        EXPECT_EQ(Name(list, 0), "Speaker A");
        EXPECT_EQ(Name(list, 1), "Speaker B");
        EXPECT_EQ(Name(list, 2), "WAV Recorder");
        // A substitute that cannot be made reports a failure, not an empty success.
        IAsioDriver* d = nullptr;
        EXPECT_NE(list.OpenDriver(0, &d), 0);
        ASSERT_EQ(list.OpenDriver(2, &d), 0);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(list.CloseDriver(2), 0);
    }
    ResetSubstituteDrivers();
    DriverList list;
    ASSERT_EQ(list.DriverCount(), 1);
    EXPECT_EQ(Name(list, 0), "WAV Recorder");
}
#endif

}  // namespace
}  // namespace zelmora
