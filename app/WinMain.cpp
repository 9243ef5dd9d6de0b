// Lumek's entry: the application object, its title and the main form.
#include <windows.h>

#include "app/Mainwindow1.h"
#include "framework/Application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  using namespace lumek;
  try {
    Application->Initialize();
    Application->SetTitle(L"Lumek");
    Application->CreateForm(MainForm1);
    Application->Run();
  } catch (const Exception& exception) {
    Application->ShowException(exception);
  } catch (...) {
    Application->ShowException(Exception(L""));
  }
  return 0;
}
