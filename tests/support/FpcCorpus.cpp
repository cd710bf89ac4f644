#include "support/FpcCorpus.h"

#include "Platform/Rtl/Encoding.h"
#include "support/KrxTest.h"

#include <algorithm>

namespace krx::test {

bool FpcSourcesInstalled() { return std::filesystem::exists(kFpcSourceRoot); }

std::vector<std::filesystem::path> FpcSourceFiles(int shard, int shards) {
  std::vector<std::filesystem::path> all;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(kFpcSourceRoot, ec), end; !ec && it != end;
       it.increment(ec)) {
    const auto ext = it->path().extension();
    if (it->is_regular_file() && (ext == ".pas" || ext == ".pp" || ext == ".inc"))
      all.push_back(it->path());
  }
  std::sort(all.begin(), all.end());
  std::vector<std::filesystem::path> mine;
  for (std::size_t i = static_cast<std::size_t>(shard); i < all.size();
       i += static_cast<std::size_t>(shards))
    mine.push_back(all[i]);
  return mine;
}

String ReadSourceText(const std::filesystem::path &path) {
  const std::string bytes = ReadFileBytes(path);
  const auto *data = reinterpret_cast<const Byte *>(bytes.data());
  return IsValidUtf8(data, bytes.size()) ? DecodeUtf8(data, bytes.size())
                                         : DecodeAnsi(data, bytes.size());
}

} // namespace krx::test
