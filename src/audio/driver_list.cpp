#include "audio/driver_list.h"

#include <cstring>
#include <new>

#include "platform/audio_platform.h"

namespace zelmora {

namespace {

void LowerCase(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

// Copies at most size - 1 characters and always terminates.
void CopyBounded(char* out, std::size_t size, const char* text) {
    std::size_t n = 0;
    while (n + 1 < size && text[n]) {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(const char*& p, int digits, uint64_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexDigit(*p);
        if (d < 0) return false;
        v = v * 16 + static_cast<uint64_t>(d);
        ++p;
    }
    *value = v;
    return true;
}

}  // namespace

bool ParseClassIdText(const char* text, AsioGuid* id) {
    if (!text || !id) return false;
    AsioGuid g{};
    const char* p = text;
    uint64_t v = 0;
    if (*p++ != '{') return false;
    if (!ParseHex(p, 8, &v) || *p++ != '-') return false;
    g.data1 = static_cast<uint32_t>(v);
    if (!ParseHex(p, 4, &v) || *p++ != '-') return false;
    g.data2 = static_cast<uint16_t>(v);
    if (!ParseHex(p, 4, &v) || *p++ != '-') return false;
    g.data3 = static_cast<uint16_t>(v);
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && *p++ != '-') return false;
        if (!ParseHex(p, 2, &v)) return false;
        g.data4[i] = static_cast<uint8_t>(v);
    }
    if (*p++ != '}' || *p != '\0') return false;
    *id = g;
    return true;
}

bool DriverFactory::ParseClassId(const char* text, AsioGuid* id) { return ParseClassIdText(text, id); }

DriverList::DriverList() : DriverList(PlatformRegistry(), PlatformDriverFactory()) {}

DriverList::DriverList(RegistryView* registry, DriverFactory& factory) : factory_(&factory) { Build(registry); }

DriverList::~DriverList() { Clear(); }

void DriverList::Rebuild(RegistryView* registry, DriverFactory& factory) {
    Clear();
    factory_ = &factory;
    Build(registry);
}

void DriverList::Clear() {
    // Last to first, as the records were appended.
    while (first) {
        DriverRecord* last = first;
        DriverRecord* beforeLast = nullptr;
        while (last->next) {
            beforeLast = last;
            last = last->next;
        }
        if (last->driver) last->driver->Release();
        delete last;
        if (beforeLast)
            beforeLast->next = nullptr;
        else
            first = nullptr;
    }
    if (count != 0 && objectsInitialised_) factory_->UninitialiseObjects();
    objectsInitialised_ = false;
    count = 0;
}

void DriverList::Build(RegistryView* registry) {
    first = nullptr;
    count = 0;
    if (!registry) {
        for (int32_t i = 0; i < SubstituteDriverCount(); ++i) {
            AsioGuid id{};
            id.data1 = static_cast<uint32_t>(i);
            const char* name = SubstituteDriverName(i);
            Append(id, name ? name : "");
        }
        return;
    }

    RegistryView::Key asio = nullptr;
    if (registry->OpenKey(RegistryView::kLocalMachine, "software\\asio", &asio)) {
        char keyName[129];
        for (int32_t index = 0; registry->EnumKey(asio, index, keyName, sizeof keyName); ++index)
            AddRegistryDriver(*registry, asio, keyName);
        registry->CloseKey(asio);
    }
    if (factory_->FollowsWithSubstitutes()) {
        for (int32_t i = 0; i < SubstituteDriverCount(); ++i) {
            const char* name = SubstituteDriverName(i);
            Append(SubstituteClassId(i), name ? name : "");
        }
    }
    if (count > 0) {
        factory_->InitialiseObjects();
        objectsInitialised_ = true;
    }
}

void DriverList::AddRegistryDriver(RegistryView& registry, void* asio, const char* keyName) {
    RegistryView::Key driverKey = nullptr;
    if (!registry.OpenKey(asio, keyName, &driverKey)) return;

    char classText[256];
    if (!registry.QueryString(driverKey, "clsid", classText, sizeof classText)) {
        registry.CloseKey(driverKey);
        return;
    }
    LowerCase(classText);

    bool accepted = false;
    RegistryView::Key classes = nullptr;
    if (registry.OpenKey(RegistryView::kClassesRoot, "clsid", &classes)) {
        char entryName[513];
        for (int32_t index = 0; registry.EnumKey(classes, index, entryName, sizeof entryName); ++index) {
            LowerCase(entryName);
            if (std::strcmp(entryName, classText) != 0) continue;
            RegistryView::Key entry = nullptr;
            if (registry.OpenKey(classes, entryName, &entry)) {
                RegistryView::Key server = nullptr;
                if (registry.OpenKey(entry, "InprocServer32", &server)) {
                    char path[512];
                    if (registry.QueryString(server, nullptr, path, sizeof path))
                        accepted = registry.FileExists(path);
                    registry.CloseKey(server);
                }
                registry.CloseKey(entry);
            }
            break;
        }
        registry.CloseKey(classes);
    }

    if (accepted) {
        // The identifier is read from at most 100 characters of the text.
        char limited[101];
        CopyBounded(limited, sizeof limited, classText);
        AsioGuid id{};
        if (!factory_->ParseClassId(limited, &id)) id = AsioGuid{};
        char description[256];
        // SANITY: a description of 128 characters or more is cut to the
        // record's 127 rather than written past it (done by Append).
        if (registry.QueryString(driverKey, "description", description, sizeof description))
            Append(id, description);
        else
            Append(id, keyName);
    }
    registry.CloseKey(driverKey);
}

void DriverList::Append(const AsioGuid& classId, const char* name) {
    DriverRecord* record = new (std::nothrow) DriverRecord{};
    if (!record) return;  // a shorter list, like any other registry failure
    record->id = count;
    record->classId = classId;
    CopyBounded(record->name, sizeof record->name, name);
    DriverRecord** tail = &first;
    while (*tail) tail = &(*tail)->next;
    *tail = record;
    ++count;
}

DriverRecord* DriverList::Find(int32_t id) const {
    for (DriverRecord* r = first; r; r = r->next)
        if (r->id == id) return r;
    return nullptr;
}

int32_t DriverList::OpenDriver(int32_t id, IAsioDriver** driver) {
    if (!driver) return kDriverMissingPointer;
    DriverRecord* record = Find(id);
    if (!record) return kDriverNoRecord;
    if (record->driver) return kDriverAlreadyOpen;
    IAsioDriver* created = nullptr;
    const int32_t result = factory_->CreateDriver(id, record->classId, &created);
    if (result != 0) return result;
    record->driver = created;
    *driver = created;
    return 0;
}

int32_t DriverList::CloseDriver(int32_t id) {
    DriverRecord* record = Find(id);
    if (record && record->driver) {
        record->driver->Release();
        record->driver = nullptr;
    }
    return 0;
}

int32_t DriverList::DriverName(int32_t id, char* buffer, int32_t size) const {
    if (!buffer) return kDriverMissingPointer;
    const DriverRecord* record = Find(id);
    if (!record) return kDriverNoRecord;
    // SANITY: a size of zero writes nothing at all, and a size below four
    // gets only the dots that fit, instead of writing before the buffer.
    if (size <= 0) return 0;
    const int32_t length = static_cast<int32_t>(strnlen(record->name, sizeof record->name));
    if (length < size) {
        std::memcpy(buffer, record->name, static_cast<std::size_t>(length));
        buffer[length] = '\0';
        return 0;
    }
    const int32_t kept = size >= 4 ? size - 4 : 0;
    std::memcpy(buffer, record->name, static_cast<std::size_t>(kept));
    int32_t n = kept;
    while (n < size - 1) buffer[n++] = '.';
    buffer[n] = '\0';
    return 0;
}

}  // namespace zelmora
