// Printing: a page's print() goes to the frame, which shows its own print
// dialog; the frame's "print-pdf" writes the page as PDF through WebKit's
// print operation on GTK's file printer, without a dialog.

#include <string>

#include "webkit-host/host.h"

namespace host {

namespace {

struct PrintJob {
  int view;
  std::string path;
};

void onPrintFinished(WebKitPrintOperation* op, gpointer data) {
  auto* job = static_cast<PrintJob*>(data);
  send(event("printed", job->view).set("path", job->path));
  delete job;
  g_object_unref(op);
}

void onPrintFailed(WebKitPrintOperation* op, GError* error, gpointer data) {
  auto* job = static_cast<PrintJob*>(data);
  send(event("print-failed", job->view).set("path", job->path).set("message", error ? error->message : ""));
  // "finished" follows and ends the job without a second answer.
  g_signal_handlers_disconnect_by_func(op, reinterpret_cast<gpointer>(onPrintFinished), job);
  g_signal_connect_swapped(op, "finished", G_CALLBACK(g_object_unref), op);
  delete job;
}

bool sane(double mm, double most) { return mm >= 0 && mm <= most; }

}  // namespace

gboolean onPrintRequest(WebKitWebView*, WebKitPrintOperation*, gpointer data) {
  // The frame shows its dialog once at a time, whatever the page asks.
  send(event("print-request", static_cast<View*>(data)->id));
  return TRUE;
}

void printCommand(View* v, const Message& m) {
  const std::string path = m.str("path");
  const double width = m.number("width"), height = m.number("height");
  const double left = m.number("left"), top = m.number("top"), right = m.number("right"), bottom = m.number("bottom");
  auto fail = [&](const char* why) { send(event("print-failed", v->id).set("path", path).set("message", why)); };
  if (path.empty() || path[0] != '/') return fail("no file name");
  if (!(width >= 10 && width <= 5000 && height >= 10 && height <= 5000)) return fail("bad paper size");
  if (!sane(left, width / 2) || !sane(right, width / 2) || !sane(top, height / 2) || !sane(bottom, height / 2))
    return fail("bad margins");
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (!uri) return fail("bad file name");

  GtkPrintSettings* settings = gtk_print_settings_new();
  // The file printer is named in GTK's own language.
  gtk_print_settings_set_printer(settings, g_dgettext("gtk30", "Print to File"));
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
  g_free(uri);

  GtkPaperSize* paper = gtk_paper_size_new_custom("zelvo", "zelvo", width, height, GTK_UNIT_MM);
  GtkPageSetup* setup = gtk_page_setup_new();
  gtk_page_setup_set_paper_size(setup, paper);
  gtk_page_setup_set_orientation(
      setup, m.boolean("landscape") ? GTK_PAGE_ORIENTATION_LANDSCAPE : GTK_PAGE_ORIENTATION_PORTRAIT);
  gtk_page_setup_set_left_margin(setup, left, GTK_UNIT_MM);
  gtk_page_setup_set_top_margin(setup, top, GTK_UNIT_MM);
  gtk_page_setup_set_right_margin(setup, right, GTK_UNIT_MM);
  gtk_page_setup_set_bottom_margin(setup, bottom, GTK_UNIT_MM);
  gtk_paper_size_free(paper);

  WebKitPrintOperation* op = webkit_print_operation_new(v->web);
  webkit_print_operation_set_print_settings(op, settings);
  webkit_print_operation_set_page_setup(op, setup);
  g_object_unref(settings);
  g_object_unref(setup);
  auto* job = new PrintJob{v->id, path};
  g_signal_connect(op, "finished", G_CALLBACK(onPrintFinished), job);
  g_signal_connect(op, "failed", G_CALLBACK(onPrintFailed), job);
  webkit_print_operation_print(op);
}

}  // namespace host
