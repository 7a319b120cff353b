#include "_Statements.hpp"

#line 1 "Statements.vn"


// Implementation of functions

#line 2
int calls=0;
static int hidden=5;


static int fromCpp() { return 12; }

int classify(int const n){
	(calls)+=(1);
	if ((n)<(0)){return -(1);}
	if ((n)==(0)){
		return 0;}
	else if ((n)<(10)){
		return 1;}
	else{
		return 2;}
}
int branches(int const n){
	if ((n)==(1)){

		return 10;}
	else if ((n)==(2)){
		return 20;}
	else{
		return 30;}
}
int loops(int const limit){
	int total=0;
	int i=0;
	while (true){
		(i)+=(1);
		if ((i)>(limit)){
			break;}
		if (((i)%(2))==(0)){
			continue;}
		(total)+=(i);}
	do{
		(total)-=(1);}while ((total)>(100));

	return total;
}
int guarded(int const n){
	try{
		if ((n)>(2)){
			throw n;}
		return n;}

	catch(int e){return (e)*(10);}

	catch(...){return -(1);}
}
void release(){
	int * p=new int (4);
	delete p;
	int * many=new int [3] ();
	delete [] many;
}

int localTypes(){
	enum Step{
		one=1,
		two};
	typedef int Count;
	Count c=two;
	return c;
}
int main(){
	printf("%d %d %d %d\n",classify(-(5)),classify(0),classify(7),classify(50));
	printf("%d %d %d\n",branches(1),branches(2),branches(3));
	printf("%d %d\n",loops(9),(guarded(1))+(guarded(3)));
	release();
	int local=((hidden)+(fromHeader()))+(fromCpp());
	int squares[3];
	((squares)[2])=(9);
	printf("%d %d %d\n",local,calls,(squares)[2]);
	printf("%d\n",localTypes());
	return 0;
}
