#pragma once
// The program's windows: singletons that reach each other directly. createForms() builds them
// in the program's creation order; destroyForms() tears them down in reverse.

class Tform1;
class TForm2;
class TAboutBox;
class TForm4;
class TForm6;
class TForm5;
class TForm7;

extern Tform1* Form1;
extern TForm2* Form2;
extern TAboutBox* AboutBox;
extern TForm4* Form4;
extern TForm6* Form6;
extern TForm5* Form5;
extern TForm7* Form7;

namespace lanfeng {
void createForms();
void destroyForms();
// The application's general error box for errors that commands raise.
void reportError(const char* what);
}  // namespace lanfeng
