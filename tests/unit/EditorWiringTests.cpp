// Which parameter every knob and toggle of the editor is attached to, with what range, step,
// default and value text: the user sees the parameter through exactly this control.

#include "EditorTestSupport.h"
#include "processor/ParameterIds.h"

#include <map>
#include <optional>
#include <set>

namespace
{
// Stacking-order index, parameter, and what the control must show of it. The numbers are the
// parameter table's, written out here so that a slip in the layout or the editor shows.
struct KnobWiring
{
    size_t child;
    const char* id;
    float minimum, maximum, step, defaultValue;
    const char* suffix;
    float moved; // a value away from the default
};

const KnobWiring knobs[] = {
    {0, ParameterIds::drive, 0.1f, 1.0f, 0.0001f, 0.3f, "", 0.8f},
    {1, ParameterIds::inputTrim, -12.0f, 12.0f, 0.1f, 0.0f, " dB", -3.5f},
    {2, ParameterIds::outputTrim, -12.0f, 12.0f, 0.1f, 0.0f, " dB", 4.2f},
    {3, ParameterIds::dryMix, 0.0f, 100.0f, 0.1f, 100.0f, " %", 25.0f},
    {4, ParameterIds::lowPass, 2000.0f, 20000.0f, 0.1f, 20000.0f, " Hz", 5000.0f},
    {5, ParameterIds::highPass, 20.0f, 500.0f, 0.1f, 20.0f, " Hz", 120.0f},
    {6, ParameterIds::boost, 0.0f, 4.0f, 1.0f, 0.0f, "", 3.0f},
};

struct ToggleWiring
{
    size_t child;
    const char* id;
    bool defaultValue;
};

const ToggleWiring toggles[] = {
    {14, ParameterIds::autoGain, false},
    {15, ParameterIds::ultraMode, true},
    {16, ParameterIds::power, false},
};
} // namespace

using EditorWiring = EditorFixture;

TEST_F(EditorWiring, EveryKnobAndToggleShowsAndMovesItsOwnParameter)
{
    openEditor();
    const auto children = controls();

    for (const auto& k : knobs)
    {
        SCOPED_TRACE(k.id);
        auto* knob = dynamic_cast<juce::Slider*>(children[k.child]);
        ASSERT_NE(knob, nullptr);
        EXPECT_FLOAT_EQ((float)knob->getMinimum(), k.minimum);
        EXPECT_FLOAT_EQ((float)knob->getMaximum(), k.maximum);
        EXPECT_FLOAT_EQ((float)knob->getInterval(), k.step);
        EXPECT_FLOAT_EQ((float)knob->getDoubleClickReturnValue(), k.defaultValue);
        EXPECT_EQ(knob->getTextValueSuffix(), k.suffix);

        setParameter(k.id, k.moved);
        EXPECT_FLOAT_EQ((float)knob->getValue(), k.moved) << "the knob follows its parameter";
        knob->setValue(k.defaultValue, juce::sendNotificationSync);
        EXPECT_FLOAT_EQ(parameterValue(k.id), k.defaultValue) << "the parameter follows its knob";
    }

    for (const auto& t : toggles)
    {
        SCOPED_TRACE(t.id);
        auto* toggle = dynamic_cast<Retrotogglebutton*>(children[t.child]);
        ASSERT_NE(toggle, nullptr);
        auto* parameter = processor->apvts->getParameter(t.id);
        EXPECT_TRUE(parameter->isBoolean());
        const auto range = processor->apvts->getParameterRange(t.id);
        EXPECT_EQ(range.start, 0.0f);
        EXPECT_EQ(range.end, 1.0f);
        EXPECT_EQ(range.interval, 1.0f);
        EXPECT_EQ(parameter->getDefaultValue(), t.defaultValue ? 1.0f : 0.0f);

        for (const bool on : {!t.defaultValue, t.defaultValue})
        {
            setParameter(t.id, on ? 1.0f : 0.0f);
            EXPECT_EQ(toggle->getToggleState(), on) << "the toggle follows its parameter";
        }
        toggle->setToggleState(!t.defaultValue, juce::sendNotificationSync);
        EXPECT_EQ(parameterValue(t.id), t.defaultValue ? 0.0f : 1.0f) << "the parameter follows its toggle";
    }

    // Every knob and toggle is in the tables above, and the one parameter without a control
    // moves none of them.
    std::set<size_t> wired;
    for (const auto& k : knobs)
        wired.insert(k.child);
    for (const auto& t : toggles)
        wired.insert(t.child);

    const auto valueShownBy = [](juce::Component* control) -> std::optional<double>
    {
        if (auto* knob = dynamic_cast<juce::Slider*>(control))
            return knob->getValue();
        if (auto* toggle = dynamic_cast<juce::ToggleButton*>(control))
            return toggle->getToggleState() ? 1.0 : 0.0;
        return std::nullopt;
    };
    std::map<size_t, double> shown;
    for (size_t i = 0; i < children.size(); ++i)
        if (const auto value = valueShownBy(children[i]))
            shown[i] = *value;
    for (const auto& [child, value] : shown)
        EXPECT_EQ(wired.count(child), 1u) << "child " << child << " is not in the wiring tables";

    setParameter(ParameterIds::output, 0.5f);
    for (const auto& [child, value] : shown)
        EXPECT_EQ(valueShownBy(children[child]), value)
            << "child " << child << " follows " << ParameterIds::output;
}
