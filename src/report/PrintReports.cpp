#include "report/PrintReports.h"

namespace vexal {

PrintReports::PrintReports() {
  Report1.BeforePrint = [this](Report &r) { Report1BeforePrint(r); };
  Report2.BeforePrint = [this](Report &r) { Report2BeforePrint(r); };
}

void PrintReports::Report1BeforePrint(Report &report) {
  report.setLabelText("Allpage", std::to_string(DataReportPageCount));
}

void PrintReports::Report2BeforePrint(Report &report) {
  report.setLabelText("Sallpage", std::to_string(StoreReportPageCount));
}

ReportDocument PrintReports::openDataReport(const ReadingTable &table,
                                            const std::string &printDate) {
  TableSnapshot rows = table.snapshot();
  DataReportPageCount = pageTotal(rows.rowCount());
  return Report1.open(std::move(rows), printDate);
}

ReportDocument PrintReports::openStoreReport(const std::string &printDate) {
  StoreReportPageCount = pageTotal(1);  // the row count of a report bound to no table
  return Report2.open(std::nullopt, printDate);
}

ReportDocument PrintReports::openGraphReport(const std::string &printDate) {
  return Report3.open(std::nullopt, printDate);
}

ReportDocument PrintReports::openDataGraphReport(const std::string &printDate) {
  return Report4.open(std::nullopt, printDate);
}

}  // namespace vexal
