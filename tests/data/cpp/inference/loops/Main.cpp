#include "_Main.hpp"

#line 1 "Main.vn"


// Implementation of functions

#line 2
void show(std::map<int ,std::string > const & names,std::vector<int > const & values){
	{std::vector<int > ::const_iterator VORN_ITe=values.begin();std::vector<int > ::const_iterator VORN_ENDe=values.end();for(;;){if(VORN_ITe==VORN_ENDe) break;std::vector<int > ::value_type const & e= *VORN_ITe;{
			printf("%d ",e);}++VORN_ITe;}}
	{std::vector<int > ::const_reverse_iterator VORN_ITe=values.rbegin();std::vector<int > ::const_reverse_iterator VORN_ENDe=values.rend();for(;;){if(VORN_ITe==VORN_ENDe) break;std::vector<int > ::value_type const & e= *VORN_ITe;{
			printf("%d ",e);}++VORN_ITe;}}
	{std::map<int ,std::string > ::const_iterator VORN_ITn=names.begin();std::map<int ,std::string > ::const_iterator VORN_ENDn=names.end();for(;;){if(VORN_ITn==VORN_ENDn) break;std::map<int ,std::string > ::value_type const & n= *VORN_ITn;{
			printf("%d=%s ",(n).first,((n).second).c_str());}++VORN_ITn;}}
	{std::map<int ,std::string > ::const_reverse_iterator VORN_ITn=names.rbegin();std::map<int ,std::string > ::const_reverse_iterator VORN_ENDn=names.rend();for(;;){if(VORN_ITn==VORN_ENDn) break;std::map<int ,std::string > ::value_type const & n= *VORN_ITn;{
			printf("%d=%s ",(n).first,((n).second).c_str());}++VORN_ITn;}}
	putchar('\n');
}
int main(){
	{int k=0;for(;;){{
			printf("%d ",k);}if(k==3) break;++k;}}
	putchar('\n');
	{int k=0;for(;;){if(k==3) break;{
			printf("%d ",k);}++k;}}
	putchar('\n');
	{int k=0;for(;;){++k;{
			printf("%d ",k);}if(k==3) break;}}
	putchar('\n');
	{int k=0;for(;;){++k;if(k==3) break;{
			printf("%d ",k);}}}
	putchar('\n');
	{int k=3;for(;;){{
			printf("%d ",k);}if(k==0) break;--k;}}
	putchar('\n');
	{int k=3;for(;;){--k;{
			printf("%d ",k);}if(k==0) break;}}
	putchar('\n');
	{int k=3;for(;;){if(k==0) break;{
			printf("%d ",k);}--k;}}
	putchar('\n');
	{int k=3;for(;;){--k;if(k==0) break;{
			printf("%d ",k);}}}
	putchar('\n');
	std::vector<int > v;
	(v).push_back(3);
	(v).push_back(5);
	(v).push_back(8);
	{std::vector<int > ::iterator VORN_ITx=v.begin();std::vector<int > ::iterator VORN_ENDx=v.end();for(;;){if(VORN_ITx==VORN_ENDx) break;std::vector<int > ::value_type & x= *VORN_ITx;{
			printf("%d ",x);}++VORN_ITx;}}
	{std::vector<int > ::reverse_iterator VORN_ITx=v.rbegin();std::vector<int > ::reverse_iterator VORN_ENDx=v.rend();for(;;){if(VORN_ITx==VORN_ENDx) break;std::vector<int > ::value_type & x= *VORN_ITx;{
			printf("%d ",x);}++VORN_ITx;}}
	putchar('\n');
	std::map<int ,std::string > m;
	(m).emplace(2,"two");
	(m).emplace(1,"one");
	(m).emplace(3,"three");
	{std::map<int ,std::string > ::iterator VORN_ITentry=m.begin();std::map<int ,std::string > ::iterator VORN_ENDentry=m.end();for(;;){if(VORN_ITentry==VORN_ENDentry) break;std::map<int ,std::string > ::value_type & entry= *VORN_ITentry;{
			printf("%d:%s ",(entry).first,((entry).second).c_str());}++VORN_ITentry;}}
	{std::map<int ,std::string > ::reverse_iterator VORN_ITentry=m.rbegin();std::map<int ,std::string > ::reverse_iterator VORN_ENDentry=m.rend();for(;;){if(VORN_ITentry==VORN_ENDentry) break;std::map<int ,std::string > ::value_type & entry= *VORN_ITentry;{
			printf("%d:%s ",(entry).first,((entry).second).c_str());}++VORN_ITentry;}}
	putchar('\n');
	show(m,v);
	return 0;
}
