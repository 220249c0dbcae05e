#pragma once
// The program's four reports and their page totals: the data report over the reading
// table, the store-data report, the graph report and the data+graph report. The footer
// totals are set from `DataReportPageCount` / `StoreReportPageCount` each time the report
// is laid out.

#include <cstdint>

#include "report/ReportDocument.h"

namespace vexal {

class PrintReports {
 public:
  PrintReports();
  PrintReports(const PrintReports &) = delete;
  PrintReports &operator=(const PrintReports &) = delete;

  std::int32_t DataReportPageCount = 1;
  std::int32_t StoreReportPageCount = 1;

  Report Report1{dataReportLayout()};
  Report Report2{storeReportLayout()};
  Report Report3{graphReportLayout()};
  Report Report4{dataGraphReportLayout()};

  void Report1BeforePrint(Report &report);
  void Report2BeforePrint(Report &report);

  // The data report over the rows `table` holds now: sets DataReportPageCount from them and
  // opens the report on a snapshot, so readings recorded later are not in it.
  ReportDocument openDataReport(const ReadingTable &table, const std::string &printDate);
  // The store-data report: bound to no table, so one page and a total of 1.
  ReportDocument openStoreReport(const std::string &printDate);
  ReportDocument openGraphReport(const std::string &printDate);
  ReportDocument openDataGraphReport(const std::string &printDate);
};

}  // namespace vexal
