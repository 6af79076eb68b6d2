#include "platform/linux/gtk/gtk_zwischenablage.h"

#include <gtest/gtest.h>

#include "platform/linux/gtk/gtk_testhilfe.h"

namespace tw {

TEST(Zwischenablage, TextLaesstSichWiederLesen) {
  ASSERT_TRUE(gtkBereit());
  GtkZwischenablage ablage;
  for (const char* text : {"http://127.0.0.1:8858/t/abc/mcp", "Größe · 59 min"}) {
    ablage.setzen(text);
    gchar* gelesen = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    ASSERT_NE(gelesen, nullptr);
    EXPECT_STREQ(gelesen, text);
    g_free(gelesen);
  }
}

}  // namespace tw
