#pragma once

#include <cstdint>
#include <random>
#include <string>

/// Writes VB6 modules of realistic shapes from a seed: comment blocks,
/// continued declarations, properties with Get/Let, member attributes,
/// existing handlers, #If blocks, Cyrillic comments, CR LF line ends.
class ProjectGenerator {
public:
    explicit ProjectGenerator(uint64_t seed) : m_random(seed) {}

    /// One module of about `lines` lines and `procedures` procedures.
    std::string module(const std::string& name, long lines, long procedures);

    long procedures() const { return m_procedures; }

private:
    std::string procedure(const std::string& name, long bodyLines);
    std::string bodyLine();
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::mt19937_64 m_random;
    long m_procedures = 0;
};
