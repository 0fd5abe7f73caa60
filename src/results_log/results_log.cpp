#include "results_log.h"

ResultsLog open_results_log(const char* path, LogProblem& problem)
{
    ResultsLog res;
    problem = LogProblem{};
    static const LogProblem::Kind own_stream[] = {LogProblem::own_input, LogProblem::own_output, LogProblem::own_error};
    const int own = own_standard_stream(path);
    if (own >= 0) {
        problem.kind = own_stream[own];
        return res;
    }
    const int error = open_log_file(path, res.file);
    if (error != 0)
        problem = LogProblem{LogProblem::cannot_open, error};
    return res;
}

LogProblem append_record(ResultsLog& res, const RunRecord& record)
{
    if (res.file.fd < 0)
        return LogProblem{};
    const std::string text = format_record(record, local_time(record.cas));
    const int error = append_to_log_file(res.file, text.data(), text.size());
    if (error == 0 || res.write_failed)
        return LogProblem{};
    res.write_failed = true;
    return LogProblem{LogProblem::write_failed, error};
}

void close_results_log(ResultsLog& res) { close_log_file(res.file); }
