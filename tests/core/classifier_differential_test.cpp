// The fast classifier against the plain scans, on the real data files and on random lists.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "common/text.h"
#include "engine/domain_lists.h"
#include "engine/url_classifier.h"

namespace vantrel {
namespace {

std::string readDataFile(const std::string& name) {
    std::ifstream in(std::string(VANTREL_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> dataLines(const std::string& name) {
    std::vector<std::string> lines = parseListFile(readDataFile(name));
    EXPECT_FALSE(lines.empty()) << name << " missing under " << VANTREL_DATA_DIR;
    return lines;
}

struct DataCase {
    const char* list;
    size_t requestHits;  // URLs that contain a list entry, as counted in the data's README
    size_t siteHits;
    // The plain scan costs entries x URL length per URL, so the large lists compare a sample.
    size_t requestStride;
    size_t siteStride;
};

class RealData : public ::testing::TestWithParam<DataCase> {};

TEST_P(RealData, FastMatchesIndependentCountsAndLinearAnswers) {
    const DataCase& c = GetParam();
    DomainList black;
    black.assign(dataLines(c.list));
    DomainList clean;
    // Every 97th blacklisted name goes on the allowed list as well, so that both lists count.
    for (size_t i = 0; i < black.size(); i += 97) clean.insertSorted(black.at(i));
    const UrlClassifier classifier(clean, black, "203.0.113.7");

    for (const char* file : {"urls-requests.txt", "urls-sites.txt"}) {
        const bool requests = std::string(file) == "urls-requests.txt";
        const size_t stride = requests ? c.requestStride : c.siteStride;
        const std::vector<std::string> urls = dataLines(file);
        size_t listHits = 0;
        size_t banned = 0;
        for (size_t i = 0; i < urls.size(); ++i) {
            const std::string& url = urls[i];
            listHits += black.matches(url);
            const bool fast = classifier.CheckBannedUrl(url);
            banned += fast;
            if (i % stride != 0) continue;
            ASSERT_EQ(fast, classifier.CheckBannedUrlLinear(url)) << url;
            ASSERT_EQ(classifier.CheckExceptionList(url), classifier.CheckExceptionListLinear(url))
                << url;
        }
        EXPECT_EQ(listHits, requests ? c.requestHits : c.siteHits) << c.list << " " << file;
        EXPECT_GT(banned, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(BlacklistFiles, RealData,
                         ::testing::Values(DataCase{"blacklist-1k.lis", 3, 5, 1, 8},
                                           DataCase{"blacklist-10k.lis", 127, 357, 8, 80},
                                           DataCase{"blacklist-100k.lis", 2722, 8530, 64, 640}));

// Short entries over a small alphabet so that matches, synced marks, empty domain parts and
// three-character entries are all frequent.
class RandomLists {
  public:
    explicit RandomLists(uint32_t seed) : rng_(seed) {}

    std::string text(size_t maxLength, std::string_view alphabet) {
        std::string s(rng_() % (maxLength + 1), 'a');
        for (char& c : s) c = alphabet[rng_() % alphabet.size()];
        return s;
    }
    std::string entry() {
        std::string e = text(6, "abAB.-:1");
        if (rng_() % 4 == 0) e += ":1";
        return e;
    }
    std::string url() {
        static constexpr std::string_view kPieces[] = {"http://", "HTTPS://", "ftp://",
                                                       "/ads/",   "ad1",      "r468x60",
                                                       "/pop",    "vantrel",  "203.0.113.7"};
        std::string u;
        const size_t parts = rng_() % 5;
        for (size_t i = 0; i < parts; ++i) {
            u += rng_() % 3 == 0 ? std::string(kPieces[rng_() % std::size(kPieces)])
                                 : text(8, "abAB.-:1/");
        }
        return u;
    }
    size_t below(size_t n) { return rng_() % n; }

  private:
    std::mt19937 rng_;
};

// Thousands of insertions, removals and in-place replacements carry both lists' matchers across
// their merge and rebuild points; every query must still give the reference answer.
TEST(ClassifierDifferential, RandomListsAndUpdates) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        RandomLists random(seed);
        DomainList clean;
        DomainList black;
        std::vector<std::string> initial;
        for (int i = 0; i < 300; ++i) initial.push_back(random.entry());
        black.assign(initial);
        UrlClassifier classifier(clean, black, seed == 2 ? "203.0.113.7" : "");
        for (int step = 0; step < 8000; ++step) {
            DomainList& list = random.below(5) == 0 ? clean : black;
            const size_t op = random.below(10);
            if (op < 3) {
                list.insertSorted(random.entry());
            } else if (op < 5 && list.size() > 0) {
                list.removeAt(random.below(list.size()));
            } else if (op == 5 && list.size() > 0) {
                list.replaceAt(random.below(list.size()), random.entry());
            } else {
                const std::string url = random.url();
                ASSERT_EQ(classifier.CheckBannedUrl(url), classifier.CheckBannedUrlLinear(url))
                    << "seed " << seed << " step " << step << " url " << url;
                ASSERT_EQ(classifier.CheckExceptionList(url),
                          classifier.CheckExceptionListLinear(url))
                    << "seed " << seed << " step " << step << " url " << url;
            }
        }
    }
}

}  // namespace
}  // namespace vantrel
