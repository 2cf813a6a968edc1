#pragma once
// Byte-level mutations of XML files: bit flips, truncations, spliced pieces of other valid files,
// huge and empty values, deep nesting, other encodings and byte-order marks, document type
// declarations, and tokens of the file's own vocabulary.
#include <string>
#include <vector>

#include "tools/fuzz/fuzz_random.h"

class CMutator
{
public:
    // corpus: valid files of the same kind (for splicing); dictionary: names and values of
    // that kind's vocabulary.
    CMutator(const std::vector<std::string>& corpus, const std::vector<std::string>& dictionary);

    // One to four stacked mutations of input.
    std::string Mutate(CFuzzRandom& rng, const std::string& input) const;


private:
    typedef void (CMutator::*Operation)(CFuzzRandom& rng, std::string& data) const;

    void FlipBits(CFuzzRandom& rng, std::string& data) const;
    void SetInterestingByte(CFuzzRandom& rng, std::string& data) const;
    void Truncate(CFuzzRandom& rng, std::string& data) const;
    void DeleteSpan(CFuzzRandom& rng, std::string& data) const;
    void DuplicateSpan(CFuzzRandom& rng, std::string& data) const;
    void Splice(CFuzzRandom& rng, std::string& data) const;
    void InsertToken(CFuzzRandom& rng, std::string& data) const;
    void ReplaceAttributeValue(CFuzzRandom& rng, std::string& data) const;
    void HugeValue(CFuzzRandom& rng, std::string& data) const;
    void EmptyValue(CFuzzRandom& rng, std::string& data) const;
    void DeepNesting(CFuzzRandom& rng, std::string& data) const;
    void RepeatElement(CFuzzRandom& rng, std::string& data) const;
    void ChangeEncoding(CFuzzRandom& rng, std::string& data) const;
    void BadUtf8(CFuzzRandom& rng, std::string& data) const;
    void InsertDoctype(CFuzzRandom& rng, std::string& data) const;
    void ChangeLineEnds(CFuzzRandom& rng, std::string& data) const;

    static const Operation kOperations[];
    static const size_t kOperationCount;

    const std::vector<std::string>& m_corpus;
    const std::vector<std::string>& m_dictionary;
};
