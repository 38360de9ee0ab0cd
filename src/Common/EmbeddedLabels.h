#pragma once
// The labels of the product configuration "configure/configure.xml" in the
// skin package: a layout whose root holds one container ("Product_config")
// of labels carrying a name and a text.
#include <optional>
#include <string>
#include <utility>
#include <vector>

using LabelList = std::vector<std::pair<std::string, std::string>>;

// Start-up's reader: every child of the root's first child, attribute 0's
// value as the name and attribute 1's value as the text, in file order.
// Empty when the skin or the file is missing or does not parse.
LabelList ReadEmbeddedConfigureLabels();

// Where the product configuration finds its labels by name: the embedded
// file now, the window's controls once the window exists.
class IConfigLabelSource {
public:
    virtual ~IConfigLabelSource() = default;
    // The text of the label named name, or nullopt when there is none.
    virtual std::optional<std::string> LabelText(const std::string& name) const = 0;
};

// Labels found by their "name" attribute in the embedded configure.xml.
class EmbeddedConfigLabels : public IConfigLabelSource {
public:
    EmbeddedConfigLabels();
    explicit EmbeddedConfigLabels(LabelList labels) : labels_(std::move(labels)) {}
    std::optional<std::string> LabelText(const std::string& name) const override;

private:
    LabelList labels_;
};
