#include "index/pair_ranking.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

#include "index/analyser_access.h"
#include "index/pair_grader.h"

namespace {

// Enough that most inputs are ranked once, few enough that keeping a batch
// for every written input costs little.
const int PAIR_RANKING_BATCH = 32;

struct ranked_output {
    float grade;
    int order;  // position on the chain, nearest first
    token_entry_tag *output;
};

// The walk's preference: higher grade, then nearer.
bool ranks_before(const ranked_output &a, const ranked_output &b) {
    return a.grade > b.grade || (a.grade == b.grade && a.order < b.order);
}

struct input_ranking {
    std::vector<ranked_output> batch;
    size_t next = 0;
    bool last_batch = false;
    bool taken_any = false;
    ranked_output last_taken{0.0f, 0, nullptr};
};

}  // namespace

struct pair_rankings {
    std::unordered_map<const token_entry_tag *, input_ranking> inputs;
    std::vector<ranked_output> scratch;
    pair_grader grader;
    bool grader_ready = false;
};

namespace {

// Grades input's chain and keeps, in order, the best PAIR_RANKING_BATCH pairs
// that rank after the last one taken.
void refill(pair_grader *grader, token_instances_t *instances, token_entry_tag *input,
            input_ranking *ranking, std::vector<ranked_output> *scratch) {
    scratch->clear();
    int order = 0;
    for (token_entry_tag *output = input->next_candidate; output != nullptr;
         output = output->next_candidate, ++order) {
        float grade = grade_pair(grader, instances, output, input);
        // A NaN fails this too, as it never wins the walk.
        if (!(grade > 0.0f)) {
            continue;
        }
        ranked_output candidate{grade, order, output};
        if (ranking->taken_any && !ranks_before(ranking->last_taken, candidate)) {
            continue;
        }
        scratch->push_back(candidate);
    }
    size_t kept = std::min(scratch->size(), static_cast<size_t>(PAIR_RANKING_BATCH));
    std::partial_sort(scratch->begin(), scratch->begin() + static_cast<ptrdiff_t>(kept),
                      scratch->end(), ranks_before);
    ranking->batch.assign(scratch->begin(), scratch->begin() + static_cast<ptrdiff_t>(kept));
    ranking->next = 0;
    ranking->last_batch = scratch->size() <= static_cast<size_t>(PAIR_RANKING_BATCH);
}

}  // namespace

pair_rankings *pair_rankings_create() {
    return new (std::nothrow) pair_rankings();
}

void pair_rankings_release(pair_rankings *rankings) {
    delete rankings;
}

int pick_next_ranked_pair(CCorrelationAnalyser *analyser, pair_rankings *rankings,
                          token_entry_tag *input, const reported_pairs *reported,
                          candidate_pair_t *pair) {
    pair->input = nullptr;
    token_instances_t *instances = find_token_instances(analyser_index(analyser), input->value);
    if (instances == nullptr) {
        return 0;
    }
    if (!rankings->grader_ready) {
        pair_grader_init(&rankings->grader, analyser);
        rankings->grader_ready = true;
    }
    try {
        auto found = rankings->inputs.find(input);
        if (found == rankings->inputs.end()) {
            found = rankings->inputs.emplace(input, input_ranking()).first;
            refill(&rankings->grader, instances, input, &found->second, &rankings->scratch);
        }
        input_ranking &ranking = found->second;
        for (;;) {
            if (ranking.next == ranking.batch.size()) {
                if (ranking.last_batch) {
                    return 0;
                }
                refill(&rankings->grader, instances, input, &ranking, &rankings->scratch);
                continue;
            }
            const ranked_output &candidate = ranking.batch[ranking.next++];
            ranking.last_taken = candidate;
            ranking.taken_any = true;
            if (!pair_set_contains(&reported->written, input, candidate.output)) {
                *pair = candidate_pair_t{input, candidate.output, candidate.grade};
                return 0;
            }
        }
    } catch (const std::bad_alloc &) {
        return -1;
    }
}
