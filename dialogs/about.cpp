#include "dialogs/about.h"

#include "app/alarm_form.h"
#include "dialogs/placement.h"

namespace tollora {

namespace {

const char16_t kNote[] =
    u"I wrote Tollora because setting up a\r\n"
    u"quick reminder got slower with each\r\n"
    u"new version of Windows: the calendar\r\n"
    u"wants a title, an account and many\r\n"
    u"clicks before it rings just once.\r\n"
    u"Tollora is the alarm part of a bigger\r\n"
    u"home control program that I use every\r\n"
    u"day, cut loose so it runs on its own.\r\n"
    u"It served me well, so here it is\r\n"
    u"for anyone who just wants a bell at a\r\n"
    u"time they type and nothing more.\r\n"
    u"\r\n"
    u"It keeps one alarm for now. If you\r\n"
    u"would like several, repeating ones or\r\n"
    u"some other feature, just ask and I\r\n"
    u"will see what a later version can do.\r\n"
    u"\r\n"
    u"Tell me what works and what not.\r\n"
    u"Contact: brenlow@example.org\r\n";

}  // namespace

About::About() : ui::Form(u"About") {
  border = ui::Border::None;
  setClientSize(3660, 1905);
  picture = ui::Image::DialogBackdrop;
  font = ui::Font{u"Tahoma", 8.25f, false};

  lblLabel1.setCaption(std::u16string(u"Alarm v1.1: ") + kAuthorMail);
  lblLabel1.rect = {525, 120, 2550, 195};
  lblLabel1.transparent = true;
  lblLabel1.autoSize = true;
  lblLabel1.align = ui::Align::Center;
  lblLabel1.font = font;
  lblLabel1.tabIndex = 0;

  txtText1.multiLine = true;  // before the text: a single-line box would keep only its first line
  txtText1.setText(kNote);
  txtText1.rect = {100, 360, 3460, 975};
  txtText1.verticalScrollBar = true;
  txtText1.font = font;
  txtText1.tabIndex = 1;

  cmdCommand1.setCaption(u"Other Projects By: Brenlow");
  cmdCommand1.design({100, 1440, 2415, 360}, font, 2, ui::Cursor::Hand, [this] { cmdCommand1_Click(); });

  cmdCommand2.setCaption(u"Close");
  cmdCommand2.design({2760, 1440, 800, 360}, font, 3, ui::Cursor::Hand, [this] { cmdCommand2_Click(); });
}

void About::Form_Load() { PlaceOverMainWindow(*this); }

void About::cmdCommand1_Click() { ui::app().backend().openUrl(kAuthorPage); }

void About::cmdCommand2_Click() { Unload(); }

void Alarm::cmdAbout_Click() { ui::form<About>().Show(); }

}  // namespace tollora
