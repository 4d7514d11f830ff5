// The interop scenarios of interop/ref.mjs, replayed through our API with the same
// actors, times and operations, so that change hashes can be compared.
#pragma once

#include "runtime/doc/document.h"
#include "runtime/doc/transaction.h"

namespace kivo::doc::test {

inline ActorId actor_hex(const std::string& h) {
  std::vector<uint8_t> b;
  from_hex(h, b);
  return b;
}

inline ObjId must(Result<ObjId> r) { return r.ok() ? r.value() : ObjId{~0ull, 0}; }

inline Document chat_scenario() {
  Document d;
  d.set_actor(actor_hex("aa01"));
  {
    auto tx = d.begin();
    must(tx.put_object(ROOT, "channels", ObjType::Map));
    ObjId title = must(tx.put_object(ROOT, "title", ObjType::Text));
    (void)tx.splice_text(title, 0, 0, "Kivo");
    (void)tx.put(ROOT, "n", int64_t(1));
    tx.commit("init", 1000);
  }
  ObjId channels = d.get(ROOT, "channels")->object()->id;
  {
    auto tx = d.begin();
    must(tx.put_object(channels, "general", ObjType::List));
    tx.commit("", 2000);
  }
  ObjId general = d.get(channels, "general")->object()->id;
  {
    auto tx = d.begin();
    ObjId m = must(tx.insert_object(general, 0, ObjType::Map));
    // The reference's JavaScript layer writes an object literal's keys in sorted
    // order and fills its text objects afterwards.
    ObjId author = must(tx.put_object(m, "author", ObjType::Text));
    (void)tx.put(m, "likes", Counter{1});
    ObjId text = must(tx.put_object(m, "text", ObjType::Text));
    (void)tx.put(m, "ts", Timestamp{5000});
    (void)tx.splice_text(author, 0, 0, "ann");
    (void)tx.splice_text(text, 0, 0, "héllo 😀 wörld");
    tx.commit("", 3000);
  }
  ObjId m = d.get(general, size_t(0))->object()->id;
  ObjId text = d.get(m, "text")->object()->id;
  {
    auto tx = d.begin();
    (void)tx.splice_text(text, 6, 1, "🎉");
    (void)tx.increment(m, "likes", 2);
    (void)tx.delete_key(ROOT, "n");
    (void)tx.put(ROOT, "flag", true);
    (void)tx.put(ROOT, "f", 2.5);
    (void)tx.put(ROOT, "u", uint64_t(7));
    (void)tx.put(ROOT, "bytes", std::vector<uint8_t>{1, 2, 3});
    (void)tx.put(ROOT, "nul", Null{});
    (void)tx.put(ROOT, "raw", std::string("imm"));
    (void)tx.put(ROOT, "neg", int64_t(-42));
    tx.commit("edit", 4000);
  }
  ObjId title = d.get(ROOT, "title")->object()->id;
  {
    auto tx = d.begin();
    (void)tx.insert(general, 0, int64_t(7));
    (void)tx.insert(general, 1, int64_t(8));
    (void)tx.delete_index(general, 1);
    (void)tx.splice_text(title, 4, 0, " Chat");
    (void)tx.splice_text(title, 0, 1, "k");
    tx.commit("", 5000);
  }
  return d;
}

inline Document conflicts_scenario() {
  Document a;
  a.set_actor(actor_hex("aa"));
  {
    auto tx = a.begin();
    (void)tx.put(ROOT, "k", int64_t(1));
    ObjId l = must(tx.put_object(ROOT, "l", ObjType::List));
    (void)tx.insert(l, 0, int64_t(1));
    ObjId t = must(tx.put_object(ROOT, "t", ObjType::Text));
    (void)tx.splice_text(t, 0, 0, "abc");
    (void)tx.put(ROOT, "c", Counter{10});
    tx.commit("", 1);
  }
  Document b;
  b.set_actor(actor_hex("bb"));
  (void)b.merge(a);
  Document c;
  c.set_actor(actor_hex("cc"));
  (void)c.merge(a);
  auto edit = [](Document& d, int64_t k, int64_t item, const char* ins, size_t del, int64_t inc, int64_t time) {
    ObjId l = d.get(ROOT, "l")->object()->id;
    ObjId t = d.get(ROOT, "t")->object()->id;
    auto tx = d.begin();
    if (k) (void)tx.put(ROOT, "k", k);
    else (void)tx.delete_key(ROOT, "k");
    (void)tx.insert(l, 1, item);
    (void)tx.splice_text(t, 1, del, ins);
    (void)tx.increment(ROOT, "c", inc);
    if (time == 3) (void)tx.delete_key(ROOT, "t2");
    if (time == 4) (void)tx.delete_index(l, 0);
    tx.commit("", time);
  };
  edit(a, 2, 2, "A", 0, 1, 2);
  edit(b, 3, 3, "B", 0, 2, 3);
  edit(c, 0, 4, "C", 1, 3, 4);
  (void)a.merge(b);
  (void)a.merge(c);
  (void)b.merge(a);
  auto put_m = [](Document& d, const char* s, int64_t time) {
    auto tx = d.begin();
    ObjId m = must(tx.put_object(ROOT, "m", ObjType::Text));
    (void)tx.splice_text(m, 0, 0, s);
    tx.commit("", time);
  };
  put_m(b, "x", 5);
  put_m(c, "y", 6);
  (void)a.merge(b);
  (void)a.merge(c);
  return a;
}

}  // namespace kivo::doc::test
