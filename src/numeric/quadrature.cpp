#include "quadrature.h"

#include "engine.h"

double integrate(Rule rule, const IntegrandEntry& e, double a, double b, int n, Progress progress)
{
    for (std::size_t k = 0; k < integrand_count; ++k)
        if (e.f != nullptr && integrand_catalogue[k].f == e.f) {
            const engine::Sharing sharing = engine::chosen_sharing(rule, e);
            return engine::integrate_shared(engine::chosen_width(rule, e), sharing, rule, k, a, b, n, progress);
        }
    if (e.program != nullptr)
        return engine::integrate_program(engine::program_sharing(rule, *e.program), rule, *e.program, a, b, n,
                                         progress);
    return rule_entry(rule).plain(a, b, n, e.f);
}

double integrand_at(const IntegrandEntry& e, double x)
{
    if (e.f != nullptr)
        return e.f(x);
    return engine::program_at_point(*e.program, x);
}
