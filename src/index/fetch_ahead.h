#ifndef TOKENWEAVE_INDEX_FETCH_AHEAD_H
#define TOKENWEAVE_INDEX_FETCH_AHEAD_H

// Starts loading the cache line at address while the caller works on
// something else; only a hint: address may be anything, even null, and is
// never read through.
inline void fetch_ahead(const void *address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

#endif
