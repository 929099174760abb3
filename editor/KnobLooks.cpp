#include "editor/KnobLooks.h"

#include <BinaryData.h>

CustomLookAndFeel2A::CustomLookAndFeel2A()
    : FilmStripKnobLook(BinaryData::knob_drive_png, BinaryData::knob_drive_pngSize, 259, 263, 64)
{
}
CustomLookAndFeel2A::~CustomLookAndFeel2A() = default;

CustomLookAndFeelBOOST::CustomLookAndFeelBOOST()
    : FilmStripKnobLook(BinaryData::knob_boost_png, BinaryData::knob_boost_pngSize, 424, 451, 5)
{
}
CustomLookAndFeelBOOST::~CustomLookAndFeelBOOST() = default;

CustomLookAndFeel2B::CustomLookAndFeel2B()
    : FilmStripKnobLook(BinaryData::knob_drymix_png, BinaryData::knob_drymix_pngSize, 219, 203, 64)
{
}
CustomLookAndFeel2B::~CustomLookAndFeel2B() = default;

CustomLookAndFeel2D::CustomLookAndFeel2D()
    : FilmStripKnobLook(BinaryData::knob_intrim_png, BinaryData::knob_intrim_pngSize, 218, 214, 64)
{
}
CustomLookAndFeel2D::~CustomLookAndFeel2D() = default;

CustomLookAndFeel2E::CustomLookAndFeel2E()
    : FilmStripKnobLook(BinaryData::knob_outtrim_png, BinaryData::knob_outtrim_pngSize, 216, 217, 64)
{
}
CustomLookAndFeel2E::~CustomLookAndFeel2E() = default;

CustomLookAndFeel2F::CustomLookAndFeel2F()
    : FilmStripKnobLook(BinaryData::knob_lowpass_png, BinaryData::knob_lowpass_pngSize, 176, 174, 64)
{
}
CustomLookAndFeel2F::~CustomLookAndFeel2F() = default;

CustomLookAndFeel2G::CustomLookAndFeel2G()
    : FilmStripKnobLook(BinaryData::knob_highpass_png, BinaryData::knob_highpass_pngSize, 190, 181, 64)
{
}
CustomLookAndFeel2G::~CustomLookAndFeel2G() = default;
