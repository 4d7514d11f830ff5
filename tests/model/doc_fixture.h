// A workspace document for tests: writes in one committed change, chat actions applied the way the
// executor applies them (one transaction each), and heads compared to see whether anything changed.
#pragma once

#include <string>

#include "model/apply_chat_action.h"
#include "model/chat_action.h"
#include "model/message_index.h"
#include "model/workspace_doc.h"

namespace chat::testing {

struct TestDoc {
  kivo::doc::Document doc;
  MessageIndex index;

  template <typename F>
  void write(F&& f) {
    auto tx = doc.begin();
    f(DocWrite{doc, tx});
    tx.commit("test");
  }

  // Applies `action` in its own change; answers whether the document moved.
  bool apply(const ChatAction& action) {
    auto before = doc.heads();
    auto tx = doc.begin();
    apply_chat_action(DocWrite{doc, tx}, action, &index);
    tx.commit("test");
    index.advance(before, doc.heads());
    return doc.heads() != before;
  }
};

}  // namespace chat::testing
