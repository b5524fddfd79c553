#include "settings/settings_store.h"

#include <utility>
#include <vector>

namespace morvane {

SettingsStore::SettingsStore(std::unique_ptr<SettingsBacking> backing)
    : backing_(std::move(backing)) {
    load();
}

SettingsStore::~SettingsStore() {
    std::lock_guard lock(lock_);
    if (!destroyed_) {
        destroy();
    }
}

bool SettingsStore::load() {
    bool created = false;
    std::unique_ptr<SettingsKey> key = backing_ ? backing_->openOrCreate(created) : nullptr;
    if (!key) {
        return false;
    }
    if (created) {
        writeAll();
    }
    for (StoredValue& stored : key->values()) {
        std::lock_guard lock(lock_);
        if (stored.value && !entries_.contains(stored.name)) {
            set(stored.name, std::move(*stored.value));
        }
    }
    key->close();
    return true;
}

bool SettingsStore::writeAll() {
    bool created = false;
    std::unique_ptr<SettingsKey> key = backing_ ? backing_->openOrCreate(created) : nullptr;
    if (!key) {
        return false;
    }
    std::vector<std::pair<std::string, SettingValue>> snapshot;
    {
        std::lock_guard lock(lock_);
        snapshot.assign(entries_.begin(), entries_.end());
    }
    for (const auto& [name, value] : snapshot) {
        key->setValue(name, value);
    }
    return key->close();
}

void SettingsStore::set(std::string_view name, SettingValue value) {
    std::lock_guard lock(lock_);
    auto found = entries_.find(name);
    if (found == entries_.end()) {
        entries_.emplace(std::string(name), std::move(value));
    } else {
        found->second = std::move(value);
    }
}

void SettingsStore::setNumber(std::string_view name, int32_t value) {
    set(name, SettingValue::ofNumber(value));
}

void SettingsStore::setText(std::string_view name, std::string_view text) {
    set(name, SettingValue::ofText(std::string(text.substr(0, text.find('\0')))));
}

int32_t SettingsStore::getNumber(std::string_view name) const {
    std::lock_guard lock(lock_);
    auto found = entries_.find(name);
    if (found == entries_.end() || found->second.type != SettingType::Number) {
        return -1;
    }
    return found->second.number;
}

std::string SettingsStore::getText(std::string_view name) const {
    std::lock_guard lock(lock_);
    auto found = entries_.find(name);
    if (found == entries_.end() || found->second.type != SettingType::Text) {
        return {};
    }
    return found->second.text;
}

bool SettingsStore::holds(std::string_view name) const {
    std::lock_guard lock(lock_);
    return entries_.contains(name);
}

std::optional<SettingValue> SettingsStore::value(std::string_view name) const {
    std::lock_guard lock(lock_);
    auto found = entries_.find(name);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void SettingsStore::clear() {
    std::lock_guard lock(lock_);
    entries_.clear();
}

void SettingsStore::destroy() {
    writeAll();
    std::lock_guard lock(lock_);
    entries_.clear();
    destroyed_ = true;
}

}  // namespace morvane
