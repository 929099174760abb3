// The network instance and its model-file loader, and the pair pass over two instances.

#include "AllocationCounter.h"
#include "model/RT_LSTM.h"

#include <BinaryData.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace
{
using json = nlohmann::json;

juce::MemoryBlock bytesOf(const std::string& text)
{
    return {text.data(), text.size()};
}

juce::MemoryBlock readFile(const juce::File& file)
{
    juce::MemoryBlock block;
    EXPECT_TRUE(file.loadFileAsData(block)) << file.getFullPathName();
    return block;
}

/** A model file of the shipped form with every weight from `weight(key, row, column)`. */
json makeModel(int inputSize, const std::function<float(const std::string&, int, int)>& weight)
{
    auto rows = [&](const std::string& key, int numRows, int numColumns)
    {
        json value = json::array();
        for (int r = 0; r < numRows; ++r)
        {
            json row = json::array();
            for (int c = 0; c < numColumns; ++c)
                row.push_back(weight(key, r, c));
            value.push_back(row);
        }
        return value;
    };
    auto vector = [&](const std::string& key, int size)
    {
        json value = json::array();
        for (int i = 0; i < size; ++i)
            value.push_back(weight(key, i, 0));
        return value;
    };

    json model;
    model["model_data"] = {{"model", "SimpleRNN"}, {"input_size", inputSize}, {"skip", 1}};
    model["state_dict"] = {{"rec.weight_ih_l0", rows("rec.weight_ih_l0", 160, inputSize)},
                           {"rec.weight_hh_l0", rows("rec.weight_hh_l0", 160, 40)},
                           {"rec.bias_ih_l0", vector("rec.bias_ih_l0", 160)},
                           {"rec.bias_hh_l0", vector("rec.bias_hh_l0", 160)},
                           {"lin.weight", rows("lin.weight", 1, 40)},
                           {"lin.bias", vector("lin.bias", 1)}};
    return model;
}

/** Small pseudo-random weights, the same for every call with the same seed. */
json randomModel(int inputSize, unsigned seed)
{
    juce::Random random((juce::int64)seed);
    return makeModel(inputSize,
                     [&](const std::string&, int, int) { return 0.3f * (random.nextFloat() - 0.5f); });
}

std::vector<float> run(RT_LSTM& network, std::vector<float> samples)
{
    network.process(samples.data(), samples.data(), (int)samples.size());
    return samples;
}

std::unique_ptr<RT_LSTM> loaded(const json& model)
{
    auto network = std::make_unique<RT_LSTM>();
    network->load_json(bytesOf(model.dump()));
    return network;
}

std::vector<float> someInput(int n)
{
    std::vector<float> x((size_t)n);
    for (int i = 0; i < n; ++i)
        x[(size_t)i] = 0.5f * std::sin(0.05f * (float)i) + 0.2f * std::sin(0.31f * (float)i);
    return x;
}
} // namespace

//==============================================================================
TEST(ModelLoader, MalformedFilesThrowTheJsonLibrarysErrors)
{
    const auto valid = randomModel(1, 1);
    auto without = [&](const std::string& key)
    {
        auto m = valid;
        m["state_dict"].erase(key);
        return m.dump();
    };
    auto with = [&](const std::string& pointer, json value)
    {
        auto m = valid;
        m[json::json_pointer(pointer)] = std::move(value);
        return m.dump();
    };

    enum Kind
    {
        parse,
        type,
        range
    };
    struct Case
    {
        const char* what;
        std::string text;
        Kind kind;
        const char* message;
    };
    const Case cases[] = {
        {"empty text", "", parse, ""},
        {"syntax error", "{\"model_data\":", parse, ""},
        {"comment", "/* c */" + valid.dump(), parse, ""},
        {"text after the document", valid.dump() + " x", parse, ""},
        {"input count as a string", with("/model_data/input_size", "1"), type,
         "type must be number, but is string"},
        {"input count null", with("/model_data/input_size", nullptr), type,
         "type must be number, but is null"},
        {"input count an array", with("/model_data/input_size", json::array()), type,
         "type must be number, but is array"},
        {"no state_dict",
         [&]
         {
             auto m = valid;
             m.erase("state_dict");
             return m.dump();
         }(),
         range, "key 'state_dict' not found"},
        {"no input weights", without("rec.weight_ih_l0"), range, "key 'rec.weight_ih_l0' not found"},
        {"no recurrent weights", without("rec.weight_hh_l0"), range, "key 'rec.weight_hh_l0' not found"},
        {"no input bias", without("rec.bias_ih_l0"), range, "key 'rec.bias_ih_l0' not found"},
        {"no recurrent bias", without("rec.bias_hh_l0"), range, "key 'rec.bias_hh_l0' not found"},
        {"no dense weights", without("lin.weight"), range, "key 'lin.weight' not found"},
        {"no dense bias", without("lin.bias"), range, "key 'lin.bias' not found"},
        {"state_dict an array", with("/state_dict", json::array()), type, "cannot use at() with array"},
        {"weight entry a number", with("/state_dict/rec.weight_hh_l0", 3), type,
         "type must be array, but is number"},
        {"weight row a string", with("/state_dict/rec.weight_hh_l0/4", "x"), type,
         "type must be array, but is string"},
        {"bias an object", with("/state_dict/rec.bias_ih_l0", json::object()), type,
         "type must be array, but is object"},
        {"weight element a string", with("/state_dict/lin.weight/0/3", "0.1"), type,
         "type must be number, but is string"},
        {"weight element null", with("/state_dict/rec.bias_hh_l0/7", nullptr), type,
         "type must be number, but is null"},
        {"too few gate rows", with("/state_dict/rec.weight_hh_l0", json::array({json::array({0.1})})), range,
         "rec.weight_hh_l0"},
        {"short bias", with("/state_dict/rec.bias_hh_l0", json::array({0.1, 0.2})), range, "rec.bias_hh_l0"},
        {"no model_data",
         [&]
         {
             auto m = valid;
             m.erase("model_data");
             return m.dump();
         }(),
         range, "key 'model_data' not found"},
        {"document an array", "[1, 2]", type, "cannot use at() with array"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        RT_LSTM network;
        try
        {
            network.load_json(bytesOf(c.text));
            ADD_FAILURE() << "loaded without error";
        }
        catch (const json::parse_error&)
        {
            EXPECT_EQ(c.kind, parse);
        }
        catch (const json::type_error& e)
        {
            EXPECT_EQ(c.kind, type);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        catch (const json::out_of_range& e)
        {
            EXPECT_EQ(c.kind, range);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(ModelLoader, InputCountChoosesTheNetworkAndOthersLoadNothing)
{
    struct Case
    {
        json inputSize;
        int expected;
        bool loadsWeights; // into the 1-input network
    };
    const Case cases[] = {{1, 1, true},  {1.9, 1, true}, {true, 1, true}, {false, 0, false},
                          {0, 0, false}, {4, 4, false},  {-1, -1, false}};

    const auto x = someInput(64);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.inputSize.dump());
        auto model = randomModel(1, 2);
        model["model_data"]["input_size"] = c.inputSize;
        if (!c.loadsWeights)
            model.erase("state_dict"); // need not exist

        auto network = loaded(model);
        EXPECT_EQ(network->input_size, c.expected);

        const auto y = run(*network, x);
        if (c.loadsWeights)
            EXPECT_NE(y, x);
        else
            EXPECT_EQ(y, x) << "an empty network passes its input unchanged";
    }
}

TEST(ModelLoader, IgnoresLayoutNumberFormatAndUnreadEntries)
{
    auto model = randomModel(1, 3);
    model["state_dict"]["rec.weight_ih_l0"][0][0] = 1.0;
    const auto reference = loaded(model);

    auto variant = model;
    variant["model_data"]["skip"] = 0;
    variant["model_data"].erase("model");
    variant["extra"] = {{"anything", json::array({1, 2})}};
    variant["state_dict"]["rec.weight_ih_l0"][0][0] = 1;         // an integer weight
    variant["state_dict"]["rec.weight_ih_l0"][0].push_back(7.0); // longer rows are read as far as needed

    RT_LSTM spaced;
    spaced.load_json(bytesOf("\n  " + variant.dump(2) + "\r\n\t "));

    const auto x = someInput(300);
    EXPECT_EQ(run(spaced, x), run(*reference, x));
}

//==============================================================================
TEST(ModelNetwork, AgreesWithPyTorchAcrossUnevenCallsAndAfterReset)
{
    const auto fixture =
        json::parse(readFile(juce::File(BRIMWELL_TEST_DATA_DIR).getChildFile("torch_reference.json"))
                        .toString()
                        .toStdString());
    const auto modelPath = fixture["model"].get<std::string>();
    const auto modelFile = juce::File::isAbsolutePath(modelPath)
                               ? juce::File(modelPath)
                               : juce::File(BRIMWELL_SOURCE_DIR).getChildFile(modelPath);
    const auto input = fixture["input"].get<std::vector<float>>();
    const auto expected = fixture["output"].get<std::vector<float>>();
    ASSERT_EQ(input.size(), expected.size());

    RT_LSTM network;
    network.load_json(readFile(modelFile));

    auto check = [&](const std::vector<int>& callLengths)
    {
        std::vector<float> output(input.size(), 0.0f);
        size_t start = 0;
        for (size_t call = 0; start < input.size(); ++call)
        {
            const auto n = std::min(input.size() - start, (size_t)callLengths[call % callLengths.size()]);
            if (call % 2 == 0)
            {
                std::copy_n(input.begin() + (long)start, n, output.begin() + (long)start);
                network.process(output.data() + start, output.data() + start, (int)n); // in place
            }
            else
            {
                network.process(input.data() + start, output.data() + start, (int)n);
            }
            start += n;
        }
        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_NEAR(output[i], expected[i], 1e-5f) << "sample " << i;
    };

    check({1, 7, 0, 480, 13, 1024, 3});
    network.reset();
    check({4000});
}

TEST(ModelNetwork, ConditionedCallRampsOverOneCall)
{
    // A 2-input network whose output is tanh(tanh(v)) for a zero sample: the second input can be read back.
    auto model =
        makeModel(2,
                  [](const std::string& key, int r, int c)
                  {
                      const int gate = r / 40;
                      if (key == "rec.weight_ih_l0")
                          return (gate == 2 && r % 40 == 0 && c == 1) ? 1.0f : 0.0f;
                      if (key == "rec.bias_ih_l0")
                          return gate == 1
                                     ? -100.0f
                                     : (gate == 2 ? 0.0f : 30.0f); // forget off, input and output gates open
                      if (key == "lin.weight")
                          return c == 0 ? 1.0f : 0.0f;
                      return 0.0f;
                  });
    auto network = loaded(model);
    ASSERT_EQ(network->input_size, 2);

    auto secondInputs = [&](float condition, int n)
    {
        std::vector<float> y((size_t)n, 0.0f);
        network->process(y.data(), condition, y.data(), n);
        for (auto& v : y)
            v = std::atanh(std::atanh(v));
        return y;
    };
    auto expectNear = [](const std::vector<float>& actual, const std::vector<float>& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i)
            EXPECT_NEAR(actual[i], expected[i], 2e-5f) << "sample " << i;
    };

    expectNear(secondInputs(0.3f, 4), {0.075f, 0.15f, 0.225f, 0.3f});
    expectNear(secondInputs(0.3f, 3), {0.3f, 0.3f, 0.3f});
    expectNear(secondInputs(0.5f, 2), {0.4f, 0.5f});

    // A call without samples only moves the value: the next call starts from it.
    std::vector<float> none(1, 9.0f);
    network->process(none.data(), 0.1f, none.data(), 0);
    EXPECT_EQ(none[0], 9.0f);
    expectNear(secondInputs(0.1f, 2), {0.1f, 0.1f});
}

TEST(ModelNetwork, StateBehaviour)
{
    const auto model = randomModel(1, 4);
    const auto x = someInput(500);

    auto a = loaded(model);
    auto b = loaded(model);
    const auto fresh = run(*a, x);
    EXPECT_EQ(run(*b, x), fresh) << "same file, same samples, same output";

    EXPECT_NE(run(*a, x), fresh) << "the state carries over from one call to the next";
    a->reset();
    EXPECT_EQ(run(*a, x), fresh) << "after reset the network starts afresh";

    std::vector<float> untouched(8, 5.0f);
    a->process(x.data(), untouched.data(), 0);
    EXPECT_EQ(untouched, std::vector<float>(8, 5.0f));
    EXPECT_EQ(run(*a, x), run(*b, x)) << "a call of zero samples changes nothing";

    RT_LSTM empty;
    EXPECT_EQ(run(empty, x), x) << "a new network passes its input unchanged";
}

TEST(ModelNetwork, ProcessCallsAllocateNothing)
{
    auto network = loaded(randomModel(1, 5));
    auto conditioned = loaded(randomModel(2, 6));
    std::vector<float> buffer = someInput(4096);

    {
        AllocationCounter
            probe; // the hook must see both kinds of allocation, or the check below proves nothing
        std::vector<float> viaNew(16);
        juce::MemoryBlock viaMalloc(16); // the framework allocates with malloc
        EXPECT_EQ(probe.count(), 2u);
    }

    AllocationCounter allocations;
    for (int block = 1; block <= 200; ++block)
    {
        network->process(buffer.data(), buffer.data(), block);
        conditioned->process(buffer.data(), 0.1f + 0.001f * (float)block, buffer.data(), block);
    }
    network->reset();
    EXPECT_EQ(allocations.count(), 0u);
}

//==============================================================================
TEST(ModelFiles, All25CompiledInFilesHaveTheShippedForm)
{
    const std::vector<std::string> modelDataOrder = {"model",     "input_size", "skip",        "output_size",
                                                     "unit_type", "num_layers", "hidden_size", "bias_fl"};
    const std::vector<std::pair<std::string, std::vector<size_t>>> shapes = {
        {"rec.weight_ih_l0", {160, 1}}, {"rec.weight_hh_l0", {160, 40}}, {"rec.bias_ih_l0", {160}},
        {"rec.bias_hh_l0", {160}},      {"lin.weight", {1, 40}},         {"lin.bias", {1}},
    };

    for (int k = 0; k < 25; ++k)
    {
        SCOPED_TRACE("model " + std::to_string(k));
        int size = 0;
        const auto* data =
            BinaryData::getNamedResource(juce::String::formatted("model_%02d_json", k).toRawUTF8(), size);
        ASSERT_NE(data, nullptr);
        const std::string text(data, (size_t)size);

        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << "one line, no final line break";
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 128; }));

        const auto doc = nlohmann::ordered_json::parse(text);
        ASSERT_EQ(doc.begin().key(), "model_data");
        std::vector<std::string> keys;
        for (const auto& item : doc["model_data"].items())
            keys.push_back(item.key());
        EXPECT_EQ(keys, modelDataOrder);
        EXPECT_EQ(doc["model_data"]["input_size"], 1);
        EXPECT_EQ(doc["model_data"]["hidden_size"], 40);
        EXPECT_EQ(doc["model_data"]["unit_type"], "LSTM");

        const auto& weights = doc["state_dict"];
        std::vector<std::string> weightKeys;
        for (const auto& item : weights.items())
            weightKeys.push_back(item.key());
        ASSERT_EQ(weightKeys.size(), shapes.size());

        size_t count = 0;
        for (size_t i = 0; i < shapes.size(); ++i)
        {
            // Plain references: the lambda below captures key, which C++17 forbids for a binding.
            const auto& key = shapes[i].first;
            const auto& shape = shapes[i].second;
            EXPECT_EQ(weightKeys[i], key);
            const auto& entry = weights[key];
            ASSERT_EQ(entry.size(), shape[0]) << key;
            auto checkValue = [&](const nlohmann::ordered_json& v)
            {
                ASSERT_TRUE(v.is_number()) << key;
                EXPECT_TRUE(std::isfinite(v.get<float>())) << key;
                ++count;
            };
            for (const auto& row : entry)
            {
                if (shape.size() == 1)
                {
                    checkValue(row);
                    continue;
                }
                ASSERT_EQ(row.size(), shape[1]) << key;
                for (const auto& v : row)
                    checkValue(v);
            }
        }
        EXPECT_EQ(count, 6921u);

        RT_LSTM network;
        EXPECT_NO_THROW(network.load_json({data, (size_t)size}));
        EXPECT_EQ(network.input_size, 1);
    }
}

//==============================================================================
TEST(ModelPair, SharesWeightsOnlyWithAnInstanceOfTheSameWeightsBitForBit)
{
    const auto model = randomModel(1, 9);
    auto lastBitChanged = model;
    auto& weight = lastBitChanged["state_dict"]["rec.weight_hh_l0"][17][3];
    weight = std::nextafter(weight.get<float>(), 1.0f);

    struct Case
    {
        const char* what;
        json other;
        bool shares;
    };
    const Case cases[] = {{"the same file", model, true},
                          {"another file", randomModel(1, 10), false},
                          {"one weight one bit apart", lastBitChanged, false},
                          {"a 2-input file", randomModel(2, 9), false}};
    const auto network = loaded(model);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto other = loaded(c.other);
        EXPECT_EQ(network->sharesWeightsWith(*other), c.shares);
        EXPECT_EQ(other->sharesWeightsWith(*network), c.shares);
    }
}

TEST(ModelPair, GivesEachInstanceWhatItsOwnCallsGiveWithItsOwnStateRampAndReset)
{
    const int n = 3000;
    const auto leftInput = someInput(n);
    std::vector<float> rightInput((size_t)n);
    for (int i = 0; i < n; ++i)
        rightInput[(size_t)i] = 0.8f * std::sin(0.021f * (float)i);
    const int callLengths[] = {1, 7, 0, 480, 13, 1024, 3, 250};

    for (const int inputSize : {1, 2})
    {
        SCOPED_TRACE(inputSize == 1 ? "1 input" : "2 inputs, conditioned");
        const auto model = randomModel(inputSize, 11);
        // Pair left, pair right, and the same two run alone.
        std::unique_ptr<RT_LSTM> networks[] = {loaded(model), loaded(model), loaded(model), loaded(model)};
        std::vector<float> samples[] = {leftInput, rightInput, leftInput, rightInput};

        // The right instances ramp from a value of their own.
        for (const int k : {1, 3})
        {
            std::vector<float> warmUp(64, 0.1f);
            networks[k]->process(warmUp.data(), 0.9f, warmUp.data(), 64);
        }

        AllocationCounter allocations;
        for (int start = 0, call = 0; start < n; ++call)
        {
            const int length = std::min(n - start, callLengths[call % 8]);
            const float condition = 0.2f + 0.1f * (float)(call / 3); // a change every third call
            auto at = [&](int k) { return samples[k].data() + start; };
            if (inputSize == 1)
            {
                RT_LSTM::processPair(*networks[0], *networks[1], at(0), at(1), length);
                for (const int k : {2, 3})
                    networks[k]->process(at(k), at(k), length);
            }
            else
            {
                RT_LSTM::processPair(*networks[0], *networks[1], at(0), at(1), condition, length);
                for (const int k : {2, 3})
                    networks[k]->process(at(k), condition, at(k), length);
            }
            if (call == 5)
                for (const int k : {0, 2})
                    networks[k]->reset(); // the left ones only
            start += length;
        }
        EXPECT_EQ(allocations.count(), 0u);

        EXPECT_NE(samples[0], leftInput) << "the network ran";
        EXPECT_EQ(samples[0], samples[2]) << "left";
        EXPECT_EQ(samples[1], samples[3]) << "right";
    }
}
