#include "parsers/key_search.h"

#include <bit>
#include <cstdint>

#include "platform/text.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KORVANEL_KEY_BLOCKS 1
#endif

namespace korvanel {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool KeyAt(std::string_view text, std::size_t at, std::string_view key, LetterCase letters) {
  const std::string_view there = text.substr(at, key.size());
  return letters == LetterCase::kExact ? there == key : EqualsNoCase(there, key);
}

#ifdef KORVANEL_KEY_BLOCKS
// Looks at 64 places at a time and compares in full only where the key's
// first and last bytes both stand. A search for the first byte alone stops
// at each of its many occurrences in a script ("f" of "function ") or a
// strings file ("s" of "STRING"). Setting bit 0x20 gives both cases of a
// letter one value; the few other bytes it lets through fail the full
// comparison. Leaves `from` where the blocks end.
std::size_t FindInBlocks(std::string_view text, std::string_view key, std::size_t& from, LetterCase letters) {
  constexpr std::size_t kBlock = 64, kLanes = 16;
  const char fold = letters == LetterCase::kEither ? 0x20 : 0;
  const __m128i folding = _mm_set1_epi8(fold);
  const __m128i first = _mm_set1_epi8(static_cast<char>(key.front() | fold));
  const __m128i last = _mm_set1_epi8(static_cast<char>(key.back() | fold));
  const std::size_t lastAt = key.size() - 1;
  for (; from + lastAt + kBlock <= text.size(); from += kBlock) {
    std::uint64_t candidates = 0;
    for (std::size_t lane = 0; lane < kBlock; lane += kLanes) {
      const char* at = text.data() + from + lane;
      const __m128i head = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), folding);
      const __m128i tail = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + lastAt)), folding);
      const int both = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, last)));
      candidates |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(both)) << lane;
    }
    for (; candidates != 0; candidates &= candidates - 1) {
      const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(candidates));
      if (KeyAt(text, at, key, letters)) return at;
    }
  }
  return kNone;
}
#endif

}  // namespace

std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from, LetterCase letters) {
  if (key.empty() || from > text.size()) return text.find(key, from);
#ifdef KORVANEL_KEY_BLOCKS
  if (const std::size_t at = FindInBlocks(text, key, from, letters); at != kNone) return at;
#endif
  if (letters == LetterCase::kExact) return text.find(key, from);
  for (; from + key.size() <= text.size(); ++from)
    if (KeyAt(text, from, key, letters)) return from;
  return kNone;
}

}  // namespace korvanel
