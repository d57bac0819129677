#pragma once
// The song record as an unsorted list of name=value entries; names compare without regard to
// case and an entry never holds an empty value.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/SongInfo.h"

namespace kelvar {

class TSongInfo : public ISongInfo {
public:
    TSongInfo() = default;

    // "ID", "filename" and "title" (the file name without its folder), in that order.
    static std::shared_ptr<TSongInfo> Create(int id, const std::string& fileName);
    // One entry per column of the current row, in column order; NULL or empty columns leave no
    // entry. The database's result set names its columns; the record reads them through Data.
    static std::shared_ptr<TSongInfo> CreateFromDataset(const IValueList& data,
                                                        const std::vector<std::string>& columns);

    std::string GetValue(std::string_view name) const override;
    std::string GetValue(int index) const override;
    void SetValue(std::string_view name, const std::optional<std::string>& value) override;

    int GetCount() const override;
    void Clear() override;

    int GetID() const override;
    std::string GetFilename() const override;
    std::string GetArtist() const override;
    std::string GetTitle() const override;
    std::string GetAlbum() const override;
    int GetDuration() const override;
    std::string GetDisplayName() const override;
    void SetID(int value) override;
    void SetFilename(const std::string& value) override;
    void SetArtist(const std::string& value) override;
    void SetTitle(const std::string& value) override;
    void SetAlbum(const std::string& value) override;
    void SetDuration(int value) override;

private:
    int Find(std::string_view name) const;
    int IntValue(std::string_view name, int fallback) const;

    std::vector<std::pair<std::string, std::string>> FEntries;
};

}  // namespace kelvar
