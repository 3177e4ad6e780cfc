#include "rowbank/grid_source_index.h"

#include <atomic>
#include <list>
#include <mutex>

#include "rowbank/grid_rdf_index.h"
#include "rowbank/grid_recordset_index.h"

namespace {

// The recently used indexes, most recent first. A function-local static so
// that it exists before its first use and is destroyed, with every index it
// still holds, when the process exits.
struct source_cache {
    std::mutex lock;
    std::list<std::shared_ptr<const grid_source_index_t>> entries;
};

source_cache &the_cache() {
    static source_cache cache;
    return cache;
}

std::atomic<unsigned long> builds_done{0};

bool same_source(const grid_source_index_t &index, grid_index_kind_t kind, const char *path) {
    return index.kind == kind && index.path == path;
}

int build_index(FILE *file, grid_index_kind_t kind, grid_extent_map_t *extents) {
    ++builds_done;
    return kind == GRID_INDEX_SECTIONS ? rdf_index_sections(file, extents)
                                       : recordset_index_comments(file, extents);
}

}  // namespace

int grid_source_index_acquire(FILE *file, const char *path, grid_index_kind_t kind, bool rebuild,
                              grid_source_index_ref *index) {
    index->reset();
    grid_file_stamp_t stamp;
    if (grid_file_stamp(file, &stamp) != 0) {
        return -1;
    }
    source_cache &cache = the_cache();
    {
        std::lock_guard<std::mutex> guard(cache.lock);
        for (auto entry = cache.entries.begin(); entry != cache.entries.end(); ++entry) {
            if (!same_source(**entry, kind, path)) {
                continue;
            }
            if (!rebuild && (*entry)->stamp == stamp) {
                cache.entries.splice(cache.entries.begin(), cache.entries, entry);
                *index = cache.entries.front();
                return 0;
            }
            cache.entries.erase(entry);
            break;
        }
    }
    // Built outside the lock: reading a large file must not hold up other
    // sources. Two threads opening the same new source both build it; the
    // later one replaces the earlier in the cache.
    auto built = std::make_shared<grid_source_index_t>();
    built->kind = kind;
    built->path = path;
    built->stamp = stamp;
    if (build_index(file, kind, &built->extents) != 0) {
        return -1;
    }
    std::lock_guard<std::mutex> guard(cache.lock);
    for (auto entry = cache.entries.begin(); entry != cache.entries.end(); ++entry) {
        if (same_source(**entry, kind, path)) {
            cache.entries.erase(entry);
            break;
        }
    }
    cache.entries.push_front(built);
    while (cache.entries.size() > GRID_SOURCE_CACHE_SIZE) {
        cache.entries.pop_back();
    }
    *index = built;
    return 0;
}

int grid_source_index_find(const grid_source_index_t &index, int grid, grid_extent_t *extent) {
    auto found = index.extents.find(grid);
    if (found == index.extents.end()) {
        return -1;
    }
    *extent = found->second;
    return 0;
}

unsigned long grid_source_index_build_count() {
    return builds_done.load();
}
