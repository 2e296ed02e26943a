// Collection: the name/value pairs of one request collection (query string, form, cookies), in
// request order, with the collection's whole text. Immutable once built; safe to read from any
// thread. Built in time linear in its size; a lookup by name costs one hash of the name, whatever
// the number of pairs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/host/objects/page_reads.h"

namespace host {

class Collection {
 public:
  using Pair = std::pair<std::string, std::string>;

  Collection() = default;
  // `text` is the collection's whole text as received (e.g. "a=1&b=2"); `pairs` are the decoded
  // pairs in request order, repeated names included.
  Collection(std::string text, std::vector<Pair> pairs);

  // Parses application/x-www-form-urlencoded text: pairs split on "&", name and value split on the
  // first "=", "+" is a blank, %XX is a byte; the bytes are UTF-8, and a sequence that is not valid
  // UTF-8 becomes U+FFFD. An empty piece (as in "a=1&&b=2") is skipped; "a" alone is a present
  // empty value.
  static Collection ParseUrlEncoded(std::string_view text);

  // Which request collection this is, for the reads a running page records (page_reads.h);
  // an untagged collection records nothing.
  void TagForReads(ReadSource source) { source_ = source; }

  // The whole text; empty when the collection is empty.
  const std::string& Text() const {
    NoteWhole();
    return text_;
  }
  bool Empty() const {
    NoteWhole();
    return pairs_.empty();
  }

  // The distinct names in order of first appearance, as first spelled.
  std::vector<std::string> Keys() const;

  // The value of `name` (any letter case): the values of a repeated name joined by ", ".
  // std::nullopt when the name is absent; a present empty value is "".
  std::optional<std::string> Get(std::string_view name) const;

  const std::vector<Pair>& Pairs() const {
    NoteWhole();
    return pairs_;
  }

 private:
  // Records, for a tagged collection, that the running page depends on all of it.
  void NoteWhole() const;

  // One distinct name (ASCII letters folded to lower case): its first spelling and its values
  // joined by ", ".
  struct Field {
    std::string name;
    std::string value;
  };

  std::string text_;
  std::vector<Pair> pairs_;
  std::vector<Field> fields_;                              // in order of first appearance
  std::unordered_map<std::string, std::size_t> by_name_;  // folded name → index in fields_
  std::optional<ReadSource> source_;
};

}  // namespace host
